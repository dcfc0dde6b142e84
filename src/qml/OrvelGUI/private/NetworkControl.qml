import QtQuick 2.15
import "../"
import "Legible.js" as Legible

// Whether the object network lets in peers beyond this machine and how many
// are connected, with the switch that lets remote peers in or keeps them out.
Row {
    id: networkControl

    property string statusText: ""
    property bool remoteOn: false
    property alias networkLabel: networkLabel
    property alias networkSwitch: networkSwitch

    signal switchClicked(bool on)

    spacing: 6
    layoutDirection: Qt.RightToLeft

    OrvelButton {
        id: networkSwitch

        objectName: "networkSwitch"
        width: Math.max(74, implicitWidth)
        height: 18
        fontPixelSize: 9
        text: networkControl.remoteOn ? qsTr("REMOTE ON") : qsTr("REMOTE OFF")
        backgroundColor: networkControl.remoteOn ? "#0b3b40" : Styles.colorFG
        borderColor: networkControl.remoteOn ? Styles.colorHighlight2 : "#5a5a5a"
        textColor: networkControl.remoteOn ? Styles.colorHighlight2 : "#9a9a9a"
        onClicked: networkControl.switchClicked(!networkControl.remoteOn)
    }

    Text {
        id: networkLabel

        objectName: "networkLabel"
        anchors.verticalCenter: networkSwitch.verticalCenter
        text: networkControl.statusText
        color: Styles.fonts.colorText
        font.family: Styles.fonts.family
        font.pixelSize: Legible.pixels(10, networkLabel)
    }
}
