import QtQuick 2.15
import EWDrivers 1.0
import ValueInterpreter 1.0

// A controller value as text (gain, frequency, time, width...), with its
// units or without. A left click opens text entry (cleared, at most ten
// characters): Enter applies what was typed, Escape restores the value.
// Dragging with the right button moves the value from where it was at the
// press, by (dx - dy) x the widget's width.
Item {
    id: valueWidget

    property QtSignalSlotContinuousControllerDriver driver: null
    property int ewCCType: 0
    property int decimalPlaces: 1
    property bool showUnits: true
    // The formatting's exponent for the types that take one (a bell's Q
    // takes its band's gain); NaN for the others.
    property real exponent: NaN
    property color textColor: Styles.fonts.colorText
    property bool editing: false
    readonly property string valueText: driver === null ? ""
        : !isNaN(exponent) ? (showUnits ? Interpreter.interpretValueAndUnitsWithExponent(driver.networkValue, exponent,
                                                                                        ewCCType, decimalPlaces)
                                        : Interpreter.interpretValueWithExponent(driver.networkValue, exponent, ewCCType,
                                                                                 decimalPlaces))
        : showUnits ? Interpreter.interpretValueAndUnits(driver.networkValue, ewCCType, decimalPlaces)
                    : Interpreter.interpretValue(driver.networkValue, ewCCType, decimalPlaces)
    property alias entry: entry

    // What was typed, applied when the type reads it; refused text changes
    // nothing.
    function applyText(text) {
        const value = isNaN(exponent) ? Interpreter.valueFromString(text, ewCCType, driver.min, driver.max)
                                      : Interpreter.valueFromStringWithExponent(text, exponent, ewCCType, driver.min,
                                                                                driver.max)
        if (value >= 0)
            driver.networkValue = value
        editing = false
    }

    implicitWidth: 64
    implicitHeight: 20

    Text {
        id: label

        objectName: "valueText"
        anchors.fill: parent
        visible: !valueWidget.editing
        text: valueWidget.valueText
        color: valueWidget.textColor
        font.family: Styles.fonts.family
        font.bold: true
        font.pixelSize: Math.max(1, valueWidget.height * 9 / 20)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    TextInput {
        id: entry

        objectName: "valueEntry"
        anchors.fill: parent
        visible: valueWidget.editing
        focus: valueWidget.editing
        maximumLength: 10
        color: Styles.colorHighlight2
        font: label.font
        horizontalAlignment: TextInput.AlignHCenter
        verticalAlignment: TextInput.AlignVCenter
        validator: RegularExpressionValidator { regularExpression: /[-+0-9.\/ a-zA-Zμ]*/ }

        onAccepted: valueWidget.applyText(text)
        Keys.onEscapePressed: valueWidget.editing = false
    }

    MouseArea {
        property real pressX: 0
        property real pressY: 0
        property int pressValue: 0

        anchors.fill: parent
        enabled: valueWidget.driver !== null
        acceptedButtons: Qt.LeftButton | Qt.RightButton

        onPressed: {
            pressX = mouse.x
            pressY = mouse.y
            pressValue = valueWidget.driver.networkValue
        }
        onClicked: {
            if (mouse.button !== Qt.LeftButton)
                return
            entry.text = ""
            valueWidget.editing = !valueWidget.editing
        }
        onPositionChanged: {
            if (pressedButtons & Qt.RightButton)
                valueWidget.driver.networkValue = pressValue
                        + Math.round((mouse.x - pressX) - (mouse.y - pressY)) * Math.round(valueWidget.width)
        }
    }
}
