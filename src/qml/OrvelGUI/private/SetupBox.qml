import QtQuick 2.15
import "../"
import "Legible.js" as Legible

// A titled box of the panel's set-up controls; its children go in a row
// below the title.
Rectangle {
    id: box

    property string title: ""
    property url icon: ""
    default property alias content: row.data

    radius: Styles.radius
    color: Styles.colorFG

    Image {
        id: iconImage

        x: Styles.margin
        y: 8
        width: 48
        height: 30
        visible: box.icon != ""
        source: box.icon
        sourceSize: Qt.size(96, 60)
    }

    Text {
        x: iconImage.visible ? iconImage.x + iconImage.width + 8 : Styles.margin
        y: 8
        height: 30
        text: box.title
        color: Styles.fonts.colorText
        font.family: Styles.fonts.family
        font.bold: true
        font.pixelSize: Legible.pixels(14, box)
        verticalAlignment: Text.AlignVCenter
    }

    Row {
        id: row

        x: Styles.margin
        y: 48
        height: parent.height - y - 8
        spacing: 8
    }
}
