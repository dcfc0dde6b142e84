import QtQuick 2.15
import QtQuick.Controls 2.15
import "private"
import "private/Legible.js" as Legible

// A text button on a rectangle, an image or a border image, with an
// optional popup indicator; dimmed while pressed or disabled, framed while
// it has the keyboard's focus (Space then presses it).
AbstractButton {
    id: orvelButton

    property url imageSource: ""
    property url borderImageSource: ""
    property bool popupIndicator: false
    property color backgroundColor: Styles.colorFG
    property color borderColor: "#5a5a5a"
    property color textColor: Styles.fonts.colorText
    property int fontPixelSize: 12

    // Wide enough for its text, which may have grown to stay legible.
    implicitWidth: Math.max(80, label.implicitWidth + 16)
    implicitHeight: 28
    opacity: !enabled ? 0.4 : pressed ? 0.7 : 1.0
    font.family: Styles.fonts.family
    font.bold: true
    font.pixelSize: Legible.pixels(fontPixelSize, orvelButton)

    contentItem: Item {
        Text {
            id: label

            anchors.centerIn: parent
            anchors.horizontalCenterOffset: orvelButton.popupIndicator ? -6 : 0
            text: orvelButton.text
            font: orvelButton.font
            color: orvelButton.textColor
            visible: text !== ""
        }

        Text {
            anchors.right: parent.right
            anchors.rightMargin: 4
            anchors.verticalCenter: parent.verticalCenter
            visible: orvelButton.popupIndicator
            text: "\u25BE"
            font: orvelButton.font
            color: orvelButton.textColor
        }
    }

    background: Item {
        Rectangle {
            anchors.fill: parent
            visible: orvelButton.imageSource == "" && orvelButton.borderImageSource == ""
            radius: Styles.radius
            color: orvelButton.backgroundColor
            border.color: orvelButton.borderColor
            border.width: 1
        }

        Image {
            anchors.fill: parent
            visible: orvelButton.imageSource != ""
            source: orvelButton.imageSource
            sourceSize: Qt.size(orvelButton.width * 2, orvelButton.height * 2)
            fillMode: Image.PreserveAspectFit
            smooth: true
        }

        BorderImage {
            anchors.fill: parent
            visible: orvelButton.borderImageSource != ""
            source: orvelButton.borderImageSource
            border { left: 6; right: 6; top: 6; bottom: 6 }
        }

        FocusFrame { control: orvelButton }
    }
}
