import QtQuick 2.15
import Orvel 1.0
import ValueInterpreter 1.0
import EWQml 2.0

// One side of a fader pair: the gain as text, the fader and its meter on
// the meter's scale (the scale between the pair's meters), and the polarity
// and mute buttons. `mirrored` puts the meter on the inner side
// of a right-hand strip. A double click on the fader, or typing while it has
// the focus, opens the gain's text entry. Base size 150 x 600.
Item {
    id: strip

    property FaderControlStripBackend backend: null
    property bool mirrored: false
    property alias gainText: gainText
    property alias fader: fader
    property alias meter: meter
    property alias muteButton: muteButton
    property alias polarityButton: polarityButton

    implicitWidth: 150
    implicitHeight: 600

    OrvelCombiWidget {
        id: gainText

        objectName: "gainText"
        anchors.horizontalCenter: parent.horizontalCenter
        y: 40
        width: 90
        height: 26
        driver: strip.backend ? strip.backend.faderDriver : null
        ewCCType: EWCCFormat.GAIN_OFFSET_DB
        decimalPlaces: EWCCFormat.ONE_DECIMAL_PLACE
        showUnits: false
        textColor: "#39b54a"
    }

    Row {
        anchors.horizontalCenter: parent.horizontalCenter
        y: 92
        spacing: 14
        layoutDirection: strip.mirrored ? Qt.RightToLeft : Qt.LeftToRight

        OrvelFader {
            id: fader

            objectName: "fader"
            width: 44
            height: 420
            driver: strip.backend ? strip.backend.faderDriver : null
            scaleBottomGain: meter.driver !== null ? meter.driver.bottomOfMeter : bottomGain
            scaleTopGain: meter.driver !== null ? meter.driver.topOfMeter : topGain
            onDoubleClicked: gainText.startEditing("", fader)
            onEntryRequested: gainText.startEditing(typed, fader)
        }

        OrvelMeter {
            id: meter

            objectName: "meter"
            y: fader.capHeight / 2
            width: 12
            height: fader.travel
            driver: strip.backend ? strip.backend.meterDriver : null
        }
    }

    Row {
        anchors.horizontalCenter: parent.horizontalCenter
        y: 550
        spacing: 10

        OrvelToggleButton {
            id: polarityButton

            objectName: "polarityButton"
            width: 54
            height: 36
            driver: strip.backend ? strip.backend.polarity : null
            imageOn: "qrc:/PolarityOn-V2.svg"
            imageOff: "qrc:/PolarityOff-V2.svg"
        }

        OrvelToggleButton {
            id: muteButton

            objectName: "muteButton"
            width: 54
            height: 36
            driver: strip.backend ? strip.backend.mute : null
            imageOn: "qrc:/MuteOn-V2.svg"
            imageOff: "qrc:/MuteOff-V2.svg"
        }
    }
}
