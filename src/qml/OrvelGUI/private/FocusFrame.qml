import QtQuick 2.15
import "../"

// The frame around the control that has the keyboard's focus: keys act on
// the control that shows it, and on no other.
Rectangle {
    property Item control: parent

    objectName: "focusFrame"
    anchors.fill: parent
    anchors.margins: -3
    visible: control !== null && control.activeFocus
    color: "transparent"
    radius: Styles.radius
    border.color: Styles.colorHighlight2
    border.width: 2
}
