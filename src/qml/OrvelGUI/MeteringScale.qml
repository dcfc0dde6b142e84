import QtQuick 2.15
import EWDrivers 1.0
import "../Gains.js" as Gains

// The dB scale beside a meter: 22 pips over the meter's range and labels
// where they fall inside it. The range is the driver's, or minus infinity to
// +10 dB without one; equal or inverted ends put everything at the bottom.
Item {
    id: meteringScale

    property QtSignalSlotMeterDriver driver: null
    readonly property real bottomGain: driver === null ? Gains.MINUS_INFINITY : driver.bottomOfMeter
    readonly property real topGain: driver === null ? Gains.PLUS_10_DB : driver.topOfMeter
    property color textColor: "#9a9a9a"

    // 0 at the bottom of the range, 1 at its top.
    function position(gain) {
        const span = topGain - bottomGain
        if (!(span > 0))
            return 0
        return Math.min(1, Math.max(0, (gain - bottomGain) / span))
    }

    implicitWidth: 30
    implicitHeight: 300

    Repeater {
        model: 22

        Rectangle {
            objectName: "pip" + index
            anchors.horizontalCenter: parent.horizontalCenter
            y: Math.round((meteringScale.height - 1) * index / 21)
            width: index % 3 === 0 ? meteringScale.width * 0.5 : meteringScale.width * 0.25
            height: 1
            color: "#4a4a4a"
        }
    }

    Repeater {
        model: [18, 12, 6, 0, -6, -12, -18, -24, -30, -40]

        Text {
            objectName: "label" + index
            readonly property real gain: modelData * 256
            visible: gain >= meteringScale.bottomGain && gain <= meteringScale.topGain && meteringScale.topGain > meteringScale.bottomGain
            anchors.horizontalCenter: parent.horizontalCenter
            y: Math.round((1 - meteringScale.position(gain)) * meteringScale.height - height / 2)
            text: modelData > 0 ? "+" + modelData : String(modelData)
            color: meteringScale.textColor
            font.family: Styles.fonts.family
            font.pixelSize: 9
            style: Text.Outline
            styleColor: "#1c1c1c"
        }
    }
}
