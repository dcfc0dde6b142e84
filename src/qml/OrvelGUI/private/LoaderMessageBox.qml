import QtQuick 2.15
import OrvelGUI 1.0
import "LinkStatus.js" as LinkStatus

// The loader's status line, made from the link's state, and below it the
// result of the last operation (shown only when there is one).
Rectangle {
    id: messageBox

    property bool connectRequested: false
    property int linkState: 0
    property string version: ""
    property int portCount: 0
    property string resultText: ""
    readonly property string statusText: LinkStatus.text(connectRequested, linkState, version, portCount, false)
    property alias statusLabel: statusLabel
    property alias resultLabel: resultLabel

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
