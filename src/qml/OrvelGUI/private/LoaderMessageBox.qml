import QtQuick 2.15
import OrvelGUI 1.0

// The loader's status line, made from the link's state, and below it the
// result of the last operation (shown only when there is one).
Rectangle {
    id: messageBox

    property bool connectRequested: false
    property int linkState: 0
    property string version: ""
    property int portCount: 0
    property string resultText: ""
    readonly property string statusText: statusFor(connectRequested, linkState, version, portCount)
    property alias statusLabel: statusLabel
    property alias resultLabel: resultLabel

    function statusFor(connectRequested, linkState, version, portCount) {
        if (!connectRequested && portCount === 0)
            return qsTr("Status: No devices detected")
        switch (linkState) {
        case 0:
            return connectRequested ? qsTr("Status: Attempting to connect") : qsTr("Status: Not connected")
        case 1:
            return qsTr("Status: Port Open")
        case 2:
            return qsTr("Status: Connected, ") + version
        case 3:
            return qsTr("Status: Getting Sync")
        case 4:
            return qsTr("Status: Syncing")
        case 5:
            return qsTr("Status: No Reply")
        default:
            return ""
        }
    }

    radius: Styles.radius
    color: Styles.colorFG

    Text {
        id: statusLabel

        objectName: "statusLabel"
        width: parent.width
        height: 25
        text: messageBox.statusText
        color: Styles.fonts.colorText
        font.family: Styles.fonts.family
        font.bold: true
        font.pixelSize: 14
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    Text {
        id: resultLabel

        objectName: "resultLabel"
        anchors.top: statusLabel.bottom
        width: parent.width
        height: 25
        visible: text !== ""
        text: messageBox.resultText
        color: Styles.fonts.colorText
        font: statusLabel.font
        elide: Text.ElideLeft
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
}
