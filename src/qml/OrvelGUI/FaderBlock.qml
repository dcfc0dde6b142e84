import QtQuick 2.15
import Orvel 1.0
import "private/Legible.js" as Legible

// A pair of fader strips, left and right, on their panel (input or output
// look), with the meters' scale between them and the title above. Base size
// 339 x 610, scaled to fit the space it is given.
Item {
    id: faderBlock

    property string title: ""
    property FaderControlStripBackend leftBackend: null
    property FaderControlStripBackend rightBackend: null
    readonly property bool input: leftBackend !== null && leftBackend.inputFader
    readonly property real fit: Math.min(width / 339, height / 610)
    property alias leftStrip: leftStrip
    property alias rightStrip: rightStrip

    implicitWidth: 339
    implicitHeight: 610

    Item {
        id: drawn

        x: Math.round((faderBlock.width - width * scale) / 2)
        width: 339
        height: 610
        scale: faderBlock.fit
        transformOrigin: Item.TopLeft

        Image {
            anchors.fill: parent
            source: faderBlock.input ? "qrc:/FaderBlockInput.svg" : "qrc:/FaderBlockOutput.svg"
            sourceSize: Qt.size(678, 1220)
        }

        Text {
            x: 12
            y: 18
            width: 315
            text: faderBlock.title
            color: Styles.fonts.colorText
            font.family: Styles.fonts.family
            font.bold: true
            font.pixelSize: Legible.pixels(18, drawn)
            horizontalAlignment: Text.AlignHCenter
        }

        // Which side each strip is, over its gain, fader and meter.
        Repeater {
            model: [qsTr("L"), qsTr("R")]

            Text {
                objectName: "sideLabel" + index
                x: (index === 0 ? leftStrip.x : rightStrip.x) + leftStrip.width / 2 - width / 2
                y: 18
                text: modelData
                color: "#9a9a9a"
                font.family: Styles.fonts.family
                font.bold: true
                font.pixelSize: Legible.pixels(18, drawn)
            }
        }

        FaderControlStrip {
            id: leftStrip

            objectName: "leftStrip"
            x: 0
            width: 150
            height: 600
            backend: faderBlock.leftBackend
        }

        MeteringScale {
            x: 150
            y: 92 + leftStrip.fader.capHeight / 2
            width: 39
            height: leftStrip.fader.travel
            driver: faderBlock.leftBackend ? faderBlock.leftBackend.meterDriver : null
        }

        FaderControlStrip {
            id: rightStrip

            objectName: "rightStrip"
            x: 189
            width: 150
            height: 600
            mirrored: true
            backend: faderBlock.rightBackend
        }
    }
}
