import QtQuick 2.15
import EWDrivers 1.0

// A level meter on a meter driver: lit from the bottom up to
// round(bottom - value x height), with a line at the held peak.
Item {
    id: meter

    property QtSignalSlotMeterDriver driver: null
    readonly property real value: driver === null ? 0 : driver.value
    readonly property real peak: driver === null ? 0 : driver.peak
    readonly property int barPosition: Math.round(height - value * height)

    implicitWidth: 12
    implicitHeight: 300

    Rectangle {
        anchors.fill: parent
        color: "#0c0c0c"
        border.color: "#2e2e2e"
    }

    Item {
        id: lit

        objectName: "meterLit"
        y: meter.barPosition
        width: parent.width
        height: parent.height - y
        clip: true

        Image {
            y: -lit.y
            width: meter.width
            height: meter.height
            source: "qrc:/Meter.svg"
            sourceSize: Qt.size(meter.width * 2, meter.height * 2)
        }
    }

    Rectangle {
        visible: meter.peak > 0
        y: Math.round(meter.height - meter.peak * meter.height)
        width: parent.width
        height: 2
        color: "white"
        opacity: 0.8
    }
}
