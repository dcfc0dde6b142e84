import QtQuick 2.15

// A value widget over a background image (a band's colour, say).
OrvelValueWidget {
    id: combiWidget

    property url backgroundSource: "qrc:/ValueBG.svg"

    implicitWidth: 80
    implicitHeight: 24

    Image {
        anchors.fill: parent
        z: -1
        source: combiWidget.backgroundSource
        sourceSize: Qt.size(combiWidget.width * 2, combiWidget.height * 2)
        smooth: true
    }
}
