import QtQuick 2.15

// A value widget over a background image (a band's colour, say).
OrvelValueWidget {
    id: combiWidget

    property url backgroundSource: "qrc:/ValueBG.svg"

    implicitWidth: 80
    implicitHeight: 24

    // Stretched between its rounded ends, so any width keeps their shape.
    BorderImage {
        anchors.fill: parent
        z: -1
        source: combiWidget.backgroundSource
        border { left: 10; right: 8; top: 8; bottom: 8 }
        smooth: true
    }
}
