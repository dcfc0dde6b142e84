import QtQuick 2.15
import EWDrivers 1.0
import Orvel 1.0
import "private"
import "private/Bands.js" as Bands
import "private/Legible.js" as Legible

// One equaliser: its graph over the graph driver, the value widgets of each
// band, the block's IN/OUT switch, the "Device curve" switch that draws
// what the device really gets and names the bands where it departs from the
// drawn curve, and the "Output" switch that draws the whole output's
// response (pass filters, bands and gain, as the device gets them).
Rectangle {
    id: block

    property PEQBlockBackend backend: null
    // Given to the block that carries the equalisers' gang switch.
    property QtBooleanSwitchDriver gangDriver: null
    property string title: ""
    property bool showQuantised: false
    // The whole output's response: the panel's pass filters and the output
    // strip around this equaliser.
    property bool showOutput: false
    property LowMidHighBackend outputPanel: null
    property FaderControlStripBackend outputStrip: null
    // 2, 4 or 6, as the backend made its bands.
    readonly property int bandCount: backend ? backend.bands.count : 0
    readonly property string mismatchText: mismatchNames(graph.graph ? graph.graph.quantisedMismatchBands : [])
    property alias graph: graph
    property alias deviceCurveButton: deviceCurveButton
    property alias outputCurveButton: outputCurveButton
    property alias gangButton: gangButton

    function mismatchNames(indexes) {
        const names = []
        for (let i = 0; i < indexes.length; ++i)
            names.push(Bands.name(bandCount, indexes[i]))
        return names.join(", ")
    }

    implicitWidth: 500
    implicitHeight: 380
    radius: Styles.radius
    color: Styles.colorFG

    Row {
        id: header

        x: Styles.margin
        y: 6
        width: parent.width - 2 * Styles.margin
        height: 26
        spacing: Styles.spacing

        Text {
            width: header.width - inOut.width - deviceCurveButton.width - outputCurveButton.width - 3 * header.spacing
                   - (gangButton.visible ? gangButton.width + header.spacing : 0)
            height: parent.height
            text: block.showQuantised && block.mismatchText !== ""
                  ? block.title + "  \u26A0 " + qsTr("device differs: ") + block.mismatchText : block.title
            color: block.showQuantised && block.mismatchText !== "" ? "#ffcc00" : Styles.fonts.colorText
            font.family: Styles.fonts.family
            font.bold: true
            font.pixelSize: Legible.pixels(13, header)
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }

        OrvelToggleButton {
            id: gangButton

            objectName: "gangButton"
            visible: block.gangDriver !== null
            width: 64
            height: parent.height
            driver: block.gangDriver
            textOn: qsTr("GANG")
            textOff: qsTr("GANG")
        }

        OrvelButton {
            id: deviceCurveButton

            objectName: "deviceCurveButton"
            width: 110
            height: parent.height
            text: qsTr("Device curve")
            fontPixelSize: 10
            checkable: true
            checked: block.showQuantised
            backgroundColor: checked ? "#3d3300" : Styles.colorFG
            borderColor: checked ? "#ffcc00" : "#5a5a5a"
            textColor: checked ? "#ffcc00" : "#9a9a9a"
            onToggled: block.showQuantised = checked
        }

        OrvelButton {
            id: outputCurveButton

            objectName: "outputCurveButton"
            visible: block.outputPanel !== null
            width: visible ? 80 : 0
            height: parent.height
            text: qsTr("Output")
            fontPixelSize: 10
            checkable: true
            checked: block.showOutput
            backgroundColor: checked ? "#0d3d1f" : Styles.colorFG
            borderColor: checked ? "#66ff99" : "#5a5a5a"
            textColor: checked ? "#66ff99" : "#9a9a9a"
            onToggled: block.showOutput = checked
        }

        OrvelToggleButton {
            id: inOut

            objectName: "inOutButton"
            width: 56
            height: parent.height
            driver: block.backend ? block.backend.bypassDriver : null
            invert: true
            textOn: qsTr("IN")
            textOff: qsTr("OUT")
        }
    }

    OrvelPEQ {
        id: graph

        objectName: "peqGraph"
        x: Styles.margin
        y: header.y + header.height + 6
        width: parent.width - 2 * Styles.margin
        height: parent.height - y - bands.height - 2 * Styles.margin
        driver: block.backend ? block.backend.peqDriver : null
        bandCount: block.bandCount
        showQuantised: block.showQuantised
        showOutput: block.showOutput
        outputPanel: block.outputPanel
        outputStrip: block.outputStrip
    }

    // The widest value a band shows, drawn at the legible floor.
    TextMetrics {
        id: widestValue

        font.family: Styles.fonts.family
        font.bold: true
        font.pixelSize: Legible.MINIMUM
        text: "12.00 kHz"
    }

    // The bands' fields side by side, or in two rows where a column would be
    // drawn too narrow for a value at a legible size.
    Grid {
        id: bands

        readonly property int rowCount: block.bandCount > 2 && (width / block.bandCount - columnSpacing)
                                        * Legible.drawnScale(bands) < widestValue.width + 4 ? 2 : 1
        readonly property int perRow: Math.max(1, Math.ceil(block.bandCount / rowCount))

        objectName: "bandFields"
        x: Styles.margin
        y: parent.height - height - Styles.margin
        width: parent.width - 2 * Styles.margin
        height: rowCount * 124 + (rowCount - 1) * rowSpacing
        columns: perRow
        columnSpacing: 6
        rowSpacing: 6

        Repeater {
            model: block.backend ? block.backend.bands : null

            PEQBandControls {
                width: (bands.width - (bands.perRow - 1) * bands.columnSpacing) / bands.perRow
                band: model.qtObject
                bandCount: block.bandCount
                index: model.index
            }
        }
    }
}
