import QtQuick 2.15
import QtQuick.Shapes 1.15
import QtQuick.Window 2.15
import QtQml.Models 2.15
import EWQml 2.0
import Orvel 1.0
import ThemeColours 1.0
import "private"

// The equaliser graph of a block of 2, 4 or 6 bands on a graph driver: grid
// and labels, each band's fill and line, the combined fill and line, a handle
// per band to drag, and a pinch (or the wheel) to widen or narrow the
// selected band. With showQuantised on it also draws what the device gets
// and rings the bands where that departs from the drawn curve; with
// showOutput, the whole output's response (pass filters, bands and gain).
Item {
    id: peq

    property PEQDriver driver: null
    property int bandCount: 0
    property bool showQuantised: false
    // The whole output's response, of the panel's output on the strip.
    property bool showOutput: false
    property LowMidHighBackend outputPanel: null
    property FaderControlStripBackend outputStrip: null
    property int selectedBand: -1
    // In the layout's own pixels, so handles scale with the window and not
    // with the screen's density (which left them at 13 px on a scaled one).
    property real handleRadius: 9
    readonly property PEQQmlBackEnd graph: graphInstance.object
    property alias handles: handles

    implicitWidth: 800 * Theme.scaleFactor
    implicitHeight: 400 * Theme.scaleFactor

    TextMetrics { id: labelMetrics; font.family: "Spartan"; font.pointSize: 12; text: "10k" }
    TextMetrics { id: gainMetrics; font: labelMetrics.font; text: "-15" }

    Instantiator {
        id: graphInstance

        active: peq.bandCount > 0
        delegate: peq.bandCount === 2 ? twoBands : peq.bandCount === 4 ? fourBands : sixBands
        onObjectChanged: if (object !== null) object.setQMLPEQObjectAndStart()
    }
    Component { id: twoBands; PEQQmlBackEnd { bandList: [PEQGraphBand { bandCount: 2; index: 0 }, PEQGraphBand { bandCount: 2; index: 1 }] } }
    Component { id: fourBands; PEQQmlBackEnd { bandList: [PEQGraphBand { bandCount: 4; index: 0 }, PEQGraphBand { bandCount: 4; index: 1 }, PEQGraphBand { bandCount: 4; index: 2 }, PEQGraphBand { bandCount: 4; index: 3 }] } }
    Component { id: sixBands; PEQQmlBackEnd { bandList: [PEQGraphBand { index: 0 }, PEQGraphBand { index: 1 }, PEQGraphBand { index: 2 }, PEQGraphBand { index: 3 }, PEQGraphBand { index: 4 }, PEQGraphBand { index: 5 }] } }

    Binding { target: peq.graph; when: peq.graph !== null; property: "driver"; value: peq.driver }
    Binding { target: peq.graph; when: peq.graph !== null; property: "xScaleMargin"; value: 1.2 * labelMetrics.height }
    Binding { target: peq.graph; when: peq.graph !== null; property: "yScaleMargin"; value: 1.2 * gainMetrics.width }
    Binding { target: peq.graph; when: peq.graph !== null; property: "width"; value: peq.width }
    Binding { target: peq.graph; when: peq.graph !== null; property: "height"; value: peq.height }
    Binding { target: peq.graph; when: peq.graph !== null; property: "allowSizeChanges"; value: peq.width > 0 && peq.height > 0 }
    Binding { target: peq.graph; when: peq.graph !== null; property: "showQuantised"; value: peq.showQuantised }
    Binding { target: peq.graph; when: peq.graph !== null; property: "handleSpacing"; value: 2 * peq.handleRadius + 2 }
    Binding { target: peq.graph; when: peq.graph !== null; property: "showOutput"; value: peq.showOutput }

    PEQOutputChain {
        graph: peq.graph
        panel: peq.outputPanel
        strip: peq.outputStrip
    }

    Rectangle {
        anchors.fill: parent
        color: "#15282e"
        radius: 3
    }

    PathPainterPath { id: combinedFill; path: peq.graph ? peq.graph.combinedPath : null }
    PathPainterPath { id: combinedLine; path: peq.graph ? peq.graph.combinedPathLine : null }
    PathPainterPath { id: deviceLine; path: peq.graph ? peq.graph.quantisedCombinedPathLine : null }
    PathPainterPath { id: outputLine; path: peq.graph ? peq.graph.outputPathLine : null }

    PEQGraphScale {
        anchors.fill: parent
        graph: peq.graph
        font: labelMetrics.font
    }

    Repeater {
        model: peq.graph ? peq.graph.bandList : []

        PEQBandCurve {
            anchors.fill: parent
            band: modelData
            showQuantised: peq.showQuantised
        }
    }

    Shape {
        anchors.fill: parent

        ShapePath { strokeColor: "transparent"; fillColor: "#30ffffff"; PathSvg { path: combinedFill.svgPath } }
        ShapePath { strokeColor: "white"; strokeWidth: Theme.grGraphActive.mainLineWidth; fillColor: "transparent"; PathSvg { path: combinedLine.svgPath } }
        ShapePath {
            strokeColor: peq.showQuantised ? "#ffcc00" : "transparent"
            strokeWidth: 1.5
            strokeStyle: ShapePath.DashLine
            dashPattern: [4, 3]
            fillColor: "transparent"
            PathSvg { path: peq.showQuantised ? deviceLine.svgPath : "" }
        }
        ShapePath {
            strokeColor: peq.showOutput ? "#66ff99" : "transparent"
            strokeWidth: 2
            fillColor: "transparent"
            PathSvg { path: peq.showOutput ? outputLine.svgPath : "" }
        }
    }

    // With the whole equaliser out the device gets every band flat, and the
    // curves say so.
    Text {
        id: outLabel

        objectName: "eqOutLabel"
        anchors.centerIn: parent
        visible: peq.graph !== null && peq.graph.fullyBypassed
        text: qsTr("EQ OUT")
        color: "#80ffffff"
        font.family: Styles.fonts.family
        font.bold: true
        font.pixelSize: Math.max(12, peq.height / 8)
    }

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        onWheel: if (peq.selectedBand >= 0) peq.graph.setPinchDelta(peq.selectedBand, wheel.angleDelta.y / 120)
    }

    PinchArea {
        property real lastDistance: 0

        anchors.fill: parent
        onPinchStarted: lastDistance = Math.hypot(pinch.point1.x - pinch.point2.x, pinch.point1.y - pinch.point2.y)
        onPinchUpdated: {
            const distance = Math.hypot(pinch.point1.x - pinch.point2.x, pinch.point1.y - pinch.point2.y)
            if (peq.selectedBand >= 0)
                peq.graph.setPinchDelta(peq.selectedBand, (distance - lastDistance) / Math.max(Screen.pixelDensity, 1))
            lastDistance = distance
        }
    }

    Repeater {
        id: handles

        model: peq.graph ? peq.graph.bandList : []

        PEQBandDragHandle {
            objectName: "bandHandle" + index
            centre: Qt.point(peq.width * modelData.graphDragPoint.x, peq.height * modelData.graphDragPoint.y)
            displayOffset: modelData.handleOffset
            crowdedWidth: modelData.handleCrowded && peq.graph ? peq.graph.handleSpacing : 0
            dragRadius: peq.handleRadius
            colour: modelData.bandColour
            opacity: modelData.bandOut ? 0.55 : 1.0
            label: String(index + 1)
            selected: peq.selectedBand === index
            marked: peq.showQuantised && modelData.quantisedMismatch
            onSelectRequested: peq.selectedBand = select ? index : -1
            onDragStarted: modelData.beginDrag(atX)
            onDragged: modelData.setDragPos(toX, toY)
        }
    }
}
