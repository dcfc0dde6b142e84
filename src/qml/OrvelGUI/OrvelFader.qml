import QtQuick 2.15
import EWDrivers 1.0
import EWQml 2.0
import ValueInterpreter 1.0
import "private"
import "private/FaderScale.js" as FaderScale

// A vertical fader on a controller driver. Its travel spans the strip's
// scale (its meter's range, by default the fader's own): the cap stands
// where its gain stands on that scale, by the same law as the scale's labels
// and the meter's bar, and moves only over the fader's own range. A drag starts once the pointer has moved more vertically than
// sideways (or after a 250 ms hold); beyond half the fader's width sideways
// the movement is damped by exp(-dx / width). Two presses without movement
// within 500 ms emit doubleClicked. A press gives it the keyboard's focus;
// with it, the arrow keys and the wheel step its value by its resolution
// (Shift: fine), the Page keys by ten steps, and Enter or a typed digit asks
// for text entry (entryRequested, with what was typed).
Item {
    id: fader

    property QtSignalSlotContinuousControllerDriver driver: null
    property int ewCCType: EWCCFormat.GAIN_OFFSET_DB
    property real dragThreshold: 0
    property real dragRatio: 1.0
    readonly property real capHeight: Math.round(width * 0.6)
    readonly property real travel: height - capHeight
    readonly property real bottomPosition: travel
    readonly property real value: driver === null ? 0 : driver.value
    // The fader's range as gains (the driver's values are in offset form),
    // its gain (the bottom when off), and the scale it is drawn on.
    readonly property real bottomGain: driver === null ? 0 : FaderScale.gainOfCode(driver.min)
    readonly property real topGain: driver === null ? 0 : FaderScale.gainOfCode(driver.max)
    readonly property real gain: driver === null || (driver.levelType && driver.networkValue === 0) ? bottomGain
                                 : FaderScale.gainOfCode(Math.min(driver.max, Math.max(driver.min, driver.networkValue)))
    property real scaleBottomGain: bottomGain
    property real scaleTopGain: topGain
    // Where the cap's top is at the fader's top; at its bottom it is travel.
    readonly property real topPosition: positionOf(topGain)
    property alias cap: cap
    property alias touchArea: touchArea

    signal doubleClicked()
    signal entryRequested(string typed)

    // The cap's y for a gain, from the scale's law.
    function positionOf(g) { return Math.round(travel * (1 - FaderScale.position(g, scaleBottomGain, scaleTopGain))) }

    // The driver's normalised value for the cap at y; the ends of the
    // travel are the ends of the range, whatever the rounding of the top.
    function valueAt(y) {
        if (y <= topPosition)
            return 1
        if (y >= travel)
            return 0
        const g = scaleBottomGain + (1 - y / travel) * (scaleTopGain - scaleBottomGain)
        return topGain > bottomGain ? (g - bottomGain) / (topGain - bottomGain) : 0
    }

    function step(steps, fine) {
        if (driver === null || steps === 0)
            return
        driver.networkValue = Interpreter.stepValue(driver.networkValue, ewCCType, steps, fine, driver.min, driver.max,
                                                    driver.levelType)
    }

    implicitWidth: 40
    implicitHeight: 300
    activeFocusOnTab: driver !== null

    Keys.onPressed: {
        const fine = (event.modifiers & Qt.ShiftModifier) !== 0
        if (event.key === Qt.Key_Up)
            step(1, fine)
        else if (event.key === Qt.Key_Down)
            step(-1, fine)
        else if (event.key === Qt.Key_PageUp)
            step(10, false)
        else if (event.key === Qt.Key_PageDown)
            step(-10, false)
        else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter || event.key === Qt.Key_F2)
            entryRequested("")
        else if (/^[-+0-9.]$/.test(event.text))
            entryRequested(event.text)
        else
            return
        event.accepted = true
    }

    Rectangle {
        id: track

        anchors.horizontalCenter: parent.horizontalCenter
        y: fader.capHeight / 2 + fader.topPosition
        width: 4
        height: fader.travel - fader.topPosition
        radius: 2
        color: "#0c0c0c"
        border.color: "#3a3a3a"
    }

    // Lines across the track where the scale beside it has its marks.
    Repeater {
        model: fader.driver === null ? [] : FaderScale.marks(fader.bottomGain, fader.topGain)
                                            .concat(FaderScale.ticks(fader.bottomGain, fader.topGain))

        Rectangle {
            readonly property bool major: index < FaderScale.marks(fader.bottomGain, fader.topGain).length

            x: fader.width * (major ? 0.15 : 0.3)
            y: fader.capHeight / 2 + fader.positionOf(modelData)
            width: fader.width * (major ? 0.7 : 0.4)
            height: 1
            color: major ? "#6a6a6a" : "#3a3a3a"
        }
    }

    Image {
        id: cap

        objectName: "faderCap"
        width: fader.width
        height: fader.capHeight
        y: touchArea.dragging ? touchArea.dragPos : fader.positionOf(fader.gain)
        source: "qrc:/FaderCap.svg"
        sourceSize: Qt.size(width * 2, height * 2)
        smooth: true
    }

    MouseArea {
        id: touchArea

        property bool dragging: false
        property bool moved: false
        property real lastX: 0
        property real lastY: 0
        property real startX: 0
        property real startY: 0
        property real dragPos: 0
        property real appliedPos: 0
        property real wheelSteps: 0

        // The cap follows dragPos from here on, starting where it stands.
        function startDrag() {
            dragPos = cap.y
            appliedPos = cap.y
            dragging = true
        }

        anchors.fill: parent
        enabled: fader.driver !== null
        preventStealing: true

        onPressed: {
            fader.forceActiveFocus()
            if (doubleTimer.running && !moved)
                fader.doubleClicked()
            moved = false
            startX = lastX = mouse.x
            startY = lastY = mouse.y
            holdTimer.restart()
            doubleTimer.restart()
        }
        onPositionChanged: {
            const dx = mouse.x - startX
            const dy = mouse.y - startY
            if (!dragging) {
                if (Math.abs(dy) <= fader.dragThreshold || Math.abs(dx) >= Math.abs(dy) * fader.dragRatio)
                    return
                startDrag()
            }
            moved = true
            const aside = Math.max(0, Math.abs(mouse.x - fader.width / 2) - fader.width / 2)
            dragPos = Math.max(fader.topPosition, Math.min(fader.travel,
                                                           dragPos + (mouse.y - lastY) * Math.exp(-aside / fader.width)))
            lastX = mouse.x
            lastY = mouse.y
            if (Math.abs(dragPos - appliedPos) > 1) {
                appliedPos = dragPos
                fader.driver.value = fader.valueAt(dragPos)
            }
        }
        // One step a notch (120); a touchpad's small deltas add up to one.
        onWheel: {
            wheelSteps += wheel.angleDelta.y / 120
            const whole = wheelSteps > 0 ? Math.floor(wheelSteps) : Math.ceil(wheelSteps)
            wheelSteps -= whole
            fader.step(whole, (wheel.modifiers & Qt.ShiftModifier) !== 0)
        }
        onReleased: {
            holdTimer.stop()
            if (dragging && dragPos !== appliedPos)
                fader.driver.value = fader.valueAt(dragPos)
            dragging = false
        }
    }

    FocusFrame {}

    Timer {
        id: holdTimer

        interval: 250
        onTriggered: if (touchArea.pressed && !touchArea.dragging) touchArea.startDrag()
    }

    Timer {
        id: doubleTimer

        interval: 500
    }
}
