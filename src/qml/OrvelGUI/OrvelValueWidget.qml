import QtQuick 2.15
import EWDrivers 1.0
import ValueInterpreter 1.0
import "private"
import "private/Legible.js" as Legible

// A controller value as text (gain, frequency, time, width...), with its
// units or without. A left click, Enter or a typed digit opens text entry
// (the value selected, or what was typed); Enter, Tab or leaving the field
// applies it, Escape restores the value: the field never stays blank nor
// shows what was not applied. An entry beyond the range is held at its end
// and a refused one restores the value, each with a notice saying so. With
// the focus, the arrow and Page keys and the wheel step the value by its
// own resolution (Shift: fine steps). Dragging with the right button moves
// the value from where it was at the press, by (dx - dy) x the widget's width.
FocusScope {
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
    // Why the last entry was not taken as typed; cleared after a while.
    property string notice: ""
    // Where the focus goes when an entry is closed with Enter or Escape.
    property Item returnFocusTo: null
    readonly property string valueText: driver === null ? ""
        : !isNaN(exponent) ? (showUnits ? Interpreter.interpretValueAndUnitsWithExponent(driver.networkValue, exponent,
                                                                                        ewCCType, decimalPlaces)
                                        : Interpreter.interpretValueWithExponent(driver.networkValue, exponent, ewCCType,
                                                                                 decimalPlaces))
        : showUnits ? Interpreter.interpretValueAndUnits(driver.networkValue, ewCCType, decimalPlaces)
                    : Interpreter.interpretValue(driver.networkValue, ewCCType, decimalPlaces)
    property real fontPixelSize: Legible.pixels(height * 9 / 20, valueWidget)
    property alias entry: entry
    property alias noticeLabel: noticeLabel

    // Opens text entry with `typed`, or with the value (selected) when
    // nothing is given; `after` takes the focus when it closes.
    function startEditing(typed, after) {
        if (driver === null || !enabled)
            return
        returnFocusTo = after === undefined ? null : after
        notice = ""
        entry.text = typed !== undefined && typed !== "" ? typed
                : !showUnits ? valueText
                : !isNaN(exponent) ? Interpreter.interpretValueAndUnitsWithExponent(driver.networkValue, exponent,
                                                                                    ewCCType, decimalPlaces, " ")
                : Interpreter.interpretValueAndUnits(driver.networkValue, ewCCType, decimalPlaces, " ")
        editing = true
        entry.forceActiveFocus()
        if (typed === undefined || typed === "")
            entry.selectAll()
        else
            entry.cursorPosition = entry.text.length
    }

    // Applies what was typed (nothing typed restores the value).
    function commit() {
        if (!editing)
            return
        editing = false
        const text = entry.text.trim()
        if (text === "" || driver === null)
            return
        const typeExponent = isNaN(exponent) ? 0 : exponent
        notice = Interpreter.entryNotice(text, ewCCType, driver.min, driver.max, decimalPlaces, driver.levelType,
                                         typeExponent)
        const value = Interpreter.valueFromStringWithExponent(text, typeExponent, ewCCType, driver.min, driver.max)
        if (value >= 0)
            driver.networkValue = value
    }

    function cancel() { editing = false }

    // Closes the entry from its own keys: the focus stays with the control.
    function finish(apply) {
        const next = returnFocusTo !== null ? returnFocusTo : valueWidget
        if (apply)
            commit()
        else
            cancel()
        next.forceActiveFocus()
    }

    function step(steps, fine) {
        if (driver === null || !enabled || steps === 0)
            return
        driver.networkValue = Interpreter.stepValue(driver.networkValue, ewCCType, steps, fine, driver.min, driver.max,
                                                    driver.levelType)
    }

    implicitWidth: 64
    implicitHeight: 20
    activeFocusOnTab: enabled && driver !== null
    opacity: enabled ? 1.0 : 0.4

    onVisibleChanged: if (!visible) commit()
    onNoticeChanged: if (notice !== "") noticeTimer.restart()

    Keys.onPressed: {
        if (editing)
            return
        const fine = (event.modifiers & Qt.ShiftModifier) !== 0
        if (event.key === Qt.Key_Up || event.key === Qt.Key_Right)
            step(1, fine)
        else if (event.key === Qt.Key_Down || event.key === Qt.Key_Left)
            step(-1, fine)
        else if (event.key === Qt.Key_PageUp)
            step(10, false)
        else if (event.key === Qt.Key_PageDown)
            step(-10, false)
        else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter || event.key === Qt.Key_F2)
            startEditing()
        else if (/^[-+0-9.]$/.test(event.text))
            startEditing(event.text)
        else
            return
        event.accepted = true
    }

    Text {
        id: label

        objectName: "valueText"
        anchors.fill: parent
        visible: !valueWidget.editing
        text: valueWidget.valueText
        color: valueWidget.textColor
        font.family: Styles.fonts.family
        font.bold: true
        font.pixelSize: valueWidget.fontPixelSize
        // A long value shrinks to its box, but not below the legible floor.
        fontSizeMode: Text.HorizontalFit
        minimumPixelSize: Legible.floor(valueWidget)
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
        selectionColor: "#0b3b40"
        selectedTextColor: Styles.colorHighlight2
        font: label.font
        horizontalAlignment: TextInput.AlignHCenter
        verticalAlignment: TextInput.AlignVCenter
        validator: RegularExpressionValidator { regularExpression: /[-+0-9.\/ a-zA-Zμµ]*/ }

        onActiveFocusChanged: if (!activeFocus) valueWidget.commit()
        // Taken here, so the key does not go on to open the entry again.
        Keys.onReturnPressed: valueWidget.finish(true)
        Keys.onEnterPressed: valueWidget.finish(true)
        Keys.onEscapePressed: valueWidget.finish(false)
    }

    MouseArea {
        property real pressX: 0
        property real pressY: 0
        property int pressValue: 0
        property real wheelSteps: 0

        anchors.fill: parent
        enabled: valueWidget.driver !== null && !valueWidget.editing
        acceptedButtons: Qt.LeftButton | Qt.RightButton

        onPressed: {
            pressX = mouse.x
            pressY = mouse.y
            pressValue = valueWidget.driver.networkValue
        }
        onClicked: if (mouse.button === Qt.LeftButton) valueWidget.startEditing()
        onPositionChanged: {
            if (pressedButtons & Qt.RightButton)
                valueWidget.driver.networkValue = pressValue
                        + Math.round((mouse.x - pressX) - (mouse.y - pressY)) * Math.round(valueWidget.width)
        }
        // One step a notch (120); a touchpad's small deltas add up to one.
        onWheel: {
            wheelSteps += wheel.angleDelta.y / 120
            const steps = wheelSteps > 0 ? Math.floor(wheelSteps) : Math.ceil(wheelSteps)
            wheelSteps -= steps
            valueWidget.step(steps, (wheel.modifiers & Qt.ShiftModifier) !== 0)
        }
    }

    FocusFrame {}

    Rectangle {
        id: noticeBox

        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.top
        anchors.bottomMargin: 4
        z: 10
        visible: valueWidget.notice !== ""
        width: noticeLabel.implicitWidth + 12
        height: noticeLabel.implicitHeight + 6
        radius: 3
        color: "#3d3300"
        border.color: "#ffcc00"

        Text {
            id: noticeLabel

            objectName: "noticeLabel"
            anchors.centerIn: parent
            text: valueWidget.notice
            color: "#ffcc00"
            font.family: Styles.fonts.family
            font.pixelSize: Legible.pixels(10, valueWidget)
        }
    }

    Timer {
        id: noticeTimer

        interval: 4000
        onTriggered: valueWidget.notice = ""
    }
}
