import QtQuick 2.15
import EWDrivers 1.0
import "../Gains.js" as Gains
import "private/FaderScale.js" as FaderScale
import "private/Legible.js" as Legible

// The dB scale beside a meter and its fader: a label every 6 dB of the
// meter's range and ticks between, each where that gain stands on the
// fader and the meter (one law, FaderScale.position); the bottom is "-Inf".
// The range is the driver's, or minus infinity to +10 dB without one;
// equal or inverted ends put nothing on it.
Item {
    id: meteringScale

    property QtSignalSlotMeterDriver driver: null
    readonly property real bottomGain: driver === null ? Gains.MINUS_INFINITY : driver.bottomOfMeter
    readonly property real topGain: driver === null ? Gains.PLUS_10_DB : driver.topOfMeter
    property color textColor: "#9a9a9a"
    property real fontPixelSize: 9

    // 0 at the bottom of the range, 1 at its top.
    function position(gain) { return FaderScale.position(gain, bottomGain, topGain) }
    // Where a gain stands, from the top of the scale.
    function yOf(gain) { return Math.round((1 - position(gain)) * height) }

    implicitWidth: 30
    implicitHeight: 300

    Repeater {
        model: FaderScale.ticks(meteringScale.bottomGain, meteringScale.topGain)

        Rectangle {
            objectName: "tick" + index
            anchors.horizontalCenter: parent.horizontalCenter
            y: meteringScale.yOf(modelData)
            width: meteringScale.width * 0.25
            height: 1
            color: "#4a4a4a"
        }
    }

    Repeater {
        model: FaderScale.marks(meteringScale.bottomGain, meteringScale.topGain)

        Text {
            readonly property real gain: modelData

            objectName: "label" + index
            anchors.horizontalCenter: parent.horizontalCenter
            y: meteringScale.yOf(gain) - Math.round(height / 2)
            text: gain === meteringScale.bottomGain ? qsTr("-Inf") : gain > 0 ? "+" + gain / 256 : String(gain / 256)
            color: meteringScale.textColor
            font.family: Styles.fonts.family
            font.pixelSize: Legible.pixels(meteringScale.fontPixelSize, meteringScale)
            style: Text.Outline
            styleColor: "#1c1c1c"
        }
    }
}
