import QtQuick 2.15
import QtTest 1.2
import EWDrivers 1.0
import OrvelGUI 1.0

// The fader's drag maths on a driver of its own (no net object): where the
// cap sits, how far a drag moves the value, sideways damping, what starts a
// drag, and the double press; its keys and wheel on a gain fader's range.
Item {
    id: stage

    width: 300
    height: 400

    Component {
        id: faderComponent

        OrvelFader {
            x: 100
            y: 20
            width: 40
            height: 324
            driver: QtSignalSlotContinuousControllerDriver {}
        }
    }

    TestCase {
        id: testCase

        name: "OrvelFader"
        when: windowShown

        function makeFader(value) {
            const fader = createTemporaryObject(faderComponent, stage)
            verify(fader)
            fader.driver.setRange(0, 1000, false)
            fader.driver.networkValue = value
            return fader
        }

        // Centre of the cap, in the fader's coordinates.
        function capCentre(fader) { return Qt.point(fader.width / 2, fader.cap.y + fader.cap.height / 2) }

        function test_cap_position() {
            const fader = makeFader(250)
            compare(fader.travel, 324 - 24)
            compare(fader.cap.y, Math.round(300 - 0.25 * 300))
            fader.driver.networkValue = 1000
            compare(fader.cap.y, 0)
        }

        function test_vertical_drag_moves_by_travel() {
            const fader = makeFader(0)
            const at = capCentre(fader)
            mousePress(fader, at.x, at.y)
            for (let step = 1; step <= 10; ++step)
                mouseMove(fader, at.x, at.y - 15 * step)
            mouseRelease(fader, at.x, at.y - 150)
            // 150 of 300 pixels of travel: half way.
            compare(fader.driver.networkValue, 500)
            compare(fader.cap.y, 150)
        }

        function test_drag_is_clamped_to_the_travel() {
            const fader = makeFader(900)
            const at = capCentre(fader)
            mousePress(fader, at.x, at.y)
            for (let step = 1; step <= 10; ++step)
                mouseMove(fader, at.x, at.y - 40 * step)
            mouseRelease(fader, at.x, at.y - 400)
            compare(fader.driver.networkValue, 1000)
        }

        // Beyond half the fader's width sideways, a move counts
        // exp(-distance / width) of itself.
        function test_sideways_damping() {
            const fader = makeFader(0)
            const at = capCentre(fader)
            mousePress(fader, at.x, at.y)
            mouseMove(fader, at.x, at.y - 10)
            mouseMove(fader, at.x + 60, at.y - 10)
            mouseMove(fader, at.x + 60, at.y - 70)
            mouseRelease(fader, at.x + 60, at.y - 70)
            // 10 pixels plain, then 60 at 40 pixels beyond the edge.
            const expected = Math.round(1000 * (10 + 60 * Math.exp(-40 / 40)) / 300)
            verify(Math.abs(fader.driver.networkValue - expected) <= 1, fader.driver.networkValue + " vs " + expected)
        }

        function test_sideways_first_does_not_drag() {
            const fader = makeFader(300)
            const at = capCentre(fader)
            mousePress(fader, at.x, at.y)
            mouseMove(fader, at.x + 30, at.y - 5)
            mouseMove(fader, at.x + 30, at.y - 6)
            mouseRelease(fader, at.x + 30, at.y - 6)
            compare(fader.driver.networkValue, 300)
        }

        function test_hold_starts_a_drag() {
            const fader = makeFader(300)
            const at = capCentre(fader)
            mousePress(fader, at.x, at.y)
            wait(300)
            mouseMove(fader, at.x + 10, at.y - 5)
            mouseMove(fader, at.x + 15, at.y - 30)
            mouseRelease(fader, at.x + 15, at.y - 30)
            verify(fader.driver.networkValue > 300)
        }

        // An output fader: -40 dB (off) to +12 dB, steps of 0.5 dB (Shift
        // 0.1 dB), Page ten of them, the wheel one a notch.
        function makeGainFader(gain) {
            const fader = createTemporaryObject(faderComponent, stage)
            verify(fader)
            fader.driver.setRange(0x5800, 0x8C00, true)
            fader.driver.networkValue = gain
            return fader
        }

        function test_keys_step_the_gain() {
            const fader = makeGainFader(0x8000 - 2432)
            mouseClick(fader, 20, 2)
            verify(fader.activeFocus)
            verify(findChild(fader, "focusFrame").visible)
            compare(fader.driver.networkValue, 0x8000 - 2432)
            keyClick(Qt.Key_Up)
            compare(fader.driver.networkValue, 0x8000 - 2304)
            keyClick(Qt.Key_Down, Qt.ShiftModifier)
            compare(fader.driver.networkValue, 0x8000 - 2330)  // -9.1 dB
            keyClick(Qt.Key_PageUp)
            compare(fader.driver.networkValue, 0x8000 - 1152)  // -4.5 dB: ten steps of the grid
            for (let i = 0; i < 4; ++i)
                keyClick(Qt.Key_PageUp)
            compare(fader.driver.networkValue, 0x8C00)
            for (let i = 0; i < 11; ++i)
                keyClick(Qt.Key_PageDown)
            compare(fader.driver.networkValue, 0)  // the bottom is off
            keyClick(Qt.Key_Up)
            compare(fader.driver.networkValue, 0x8000 - 10112)  // -39.5 dB
        }

        function test_wheel_steps_the_gain() {
            const fader = makeGainFader(0x8000)
            mouseWheel(fader, 20, 150, 0, 120)
            compare(fader.driver.networkValue, 0x8000 + 128)
            mouseWheel(fader, 20, 150, 0, -360)
            compare(fader.driver.networkValue, 0x8000 - 256)
            // A touchpad's small deltas add up to a notch.
            for (let i = 0; i < 3; ++i)
                mouseWheel(fader, 20, 150, 0, 40)
            compare(fader.driver.networkValue, 0x8000 - 128)
        }

        // Typing while it has the focus, or Enter, asks for the gain's entry.
        function test_typing_asks_for_entry() {
            const fader = makeGainFader(0x8000)
            const spy = createTemporaryObject(entrySpyComponent, testCase, { target: fader })
            verify(spy.valid)
            fader.forceActiveFocus()
            keyClick("-")
            keyClick(Qt.Key_Return)
            keyClick("x")
            compare(spy.count, 2)
            compare(spy.signalArguments[0][0], "-")
            compare(spy.signalArguments[1][0], "")
        }

        function test_double_press() {
            const fader = makeFader(300)
            const spy = createTemporaryObject(spyComponent, testCase, { target: fader })
            verify(spy.valid)
            mouseClick(fader, 20, 250)
            mouseClick(fader, 20, 250)
            compare(spy.count, 1)
            compare(fader.driver.networkValue, 300)
        }
    }

    Component {
        id: spyComponent

        SignalSpy { signalName: "doubleClicked" }
    }

    Component {
        id: entrySpyComponent

        SignalSpy { signalName: "entryRequested" }
    }
}
