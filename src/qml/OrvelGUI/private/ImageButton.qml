import QtQuick 2.15
import QtQuick.Controls 2.15

// A button drawn by its image alone; dimmed while pressed or disabled,
// framed while it has the keyboard's focus.
AbstractButton {
    id: imageButton

    property url source

    opacity: !enabled ? 0.4 : pressed ? 0.7 : 1.0

    contentItem: Image {
        source: imageButton.source
        sourceSize.width: imageButton.width
        sourceSize.height: imageButton.height
        fillMode: Image.PreserveAspectFit
    }

    background: Item { FocusFrame { control: imageButton } }
}
