import QtQuick 2.15
import Orvel 1.0

// The fader panel: the input pair, a divider, then the Low, Mid and High
// output pairs.
Item {
    id: panel

    property InOutFaderBackend backend: null
    readonly property real blockWidth: (width - divider.width - 4 * row.spacing) / 4
    property alias inputBlock: inputBlock
    property alias lowBlock: lowBlock
    property alias midBlock: midBlock
    property alias highBlock: highBlock

    Row {
        id: row

        anchors.fill: parent
        spacing: Styles.spacing

        FaderBlock {
            id: inputBlock

            objectName: "inputBlock"
            width: panel.blockWidth
            height: parent.height
            title: qsTr("INPUT")
            leftBackend: panel.backend ? panel.backend.inputL : null
            rightBackend: panel.backend ? panel.backend.inputR : null
        }

        Rectangle {
            id: divider

            width: 2
            height: parent.height
            color: "#3a3a3a"
        }

        FaderBlock {
            id: lowBlock

            objectName: "lowBlock"
            width: panel.blockWidth
            height: parent.height
            title: qsTr("LOW")
            leftBackend: panel.backend ? panel.backend.lowL : null
            rightBackend: panel.backend ? panel.backend.lowR : null
        }

        FaderBlock {
            id: midBlock

            objectName: "midBlock"
            width: panel.blockWidth
            height: parent.height
            title: qsTr("MID")
            leftBackend: panel.backend ? panel.backend.midL : null
            rightBackend: panel.backend ? panel.backend.midR : null
        }

        FaderBlock {
            id: highBlock

            objectName: "highBlock"
            width: panel.blockWidth
            height: parent.height
            title: qsTr("HIGH")
            leftBackend: panel.backend ? panel.backend.highL : null
            rightBackend: panel.backend ? panel.backend.highR : null
        }
    }
}
