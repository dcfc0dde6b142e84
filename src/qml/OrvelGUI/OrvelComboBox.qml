import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15
import "private"
import "private/Legible.js" as Legible

// A choice from a list model. The shown entry follows currentIndexSource
// (the backend's index), which emits activatedBySource; a choice the user
// makes emits activated, for the screen to pass on.
ComboBox {
    id: combo

    property int currentIndexSource: -1

    signal activatedBySource(int index)

    implicitWidth: 150
    implicitHeight: 28
    currentIndex: currentIndexSource
    font.family: Styles.fonts.family
    font.bold: true
    font.pixelSize: Legible.pixels(11, combo)

    onCurrentIndexSourceChanged: activatedBySource(currentIndexSource)

    background: Rectangle {
        radius: Styles.radius
        color: Styles.colorFG
        border.color: combo.pressed ? Styles.colorHighlight2 : "#5a5a5a"

        FocusFrame { control: combo }
    }

    contentItem: Text {
        leftPadding: 8
        text: combo.displayText
        font: combo.font
        color: Styles.fonts.colorText
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    delegate: ItemDelegate {
        objectName: "comboEntry" + index
        width: combo.width
        highlighted: combo.highlightedIndex === index

        contentItem: Text {
            text: combo.textRole ? model[combo.textRole] : modelData
            font: combo.font
            color: highlighted ? Styles.colorHighlight2 : Styles.fonts.colorText
        }

        background: Rectangle { color: highlighted ? Styles.colorHighlight : Styles.colorBG }
    }

    // The list stays inside the main window however far down the box sits.
    popup: Popup {
        y: combo.height
        width: combo.width
        height: Math.min(contentItem.implicitHeight, combo.Window.height)
        padding: 1

        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: combo.popup.visible ? combo.delegateModel : null
            currentIndex: combo.highlightedIndex
        }

        background: Rectangle { color: Styles.colorBG; border.color: "#5a5a5a" }
    }
}
