import QtQuick 2.15
import QtTest 1.2
import EWDrivers 1.0
import EWQml 2.0
import OrvelGUI 1.0

// A value widget on a driver of its own: the text it shows, text entry
// (Enter, Tab or leaving applies, Escape restores, refused text changes
// nothing and says why, an entry beyond the range is held at its end and
// says so), the keys and the wheel, and the right-button drag.
Item {
    id: stage

    width: 300
    height: 200

    Component {
        id: widgetComponent

        OrvelValueWidget {
            x: 50
            y: 50
            width: 80
            height: 20
            ewCCType: EWCCFormat.GAIN_OFFSET_DB
            decimalPlaces: EWCCFormat.ONE_DECIMAL_PLACE
            driver: QtSignalSlotContinuousControllerDriver {}
        }
    }

    TestCase {
        name: "OrvelValueWidget"
        when: windowShown

        function makeWidget(x) {
            const widget = createTemporaryObject(widgetComponent, stage, { x: x === undefined ? 50 : x })
            verify(widget)
            widget.driver.setRange(0x7100, 0x8F00, false)
            widget.driver.networkValue = 0x8000
            return widget
        }

        // A fader's gain field: -40 dB (off) to 0 dB.
        function makeInputGain() {
            const widget = makeWidget()
            widget.driver.setRange(0x5800, 0x8000, true)
            return widget
        }

        function openEntry(widget) {
            mouseClick(widget)
            verify(widget.editing)
            tryVerify(function() { return widget.entry.activeFocus })
        }

        function type(text) {
            for (let i = 0; i < text.length; ++i)
                keyClick(text.charAt(i))
        }

        function test_shows_the_value() {
            const widget = makeWidget()
            compare(widget.valueText, "0.0\u2009dB")
            widget.showUnits = false
            compare(widget.valueText, "0.0")
            widget.driver.networkValue = 0x8000 - 6 * 256
            compare(widget.valueText, "-6.0")
        }

        function test_text_entry_applies_on_enter() {
            const widget = makeWidget()
            openEntry(widget)
            // The value, selected: typing replaces it.
            compare(widget.entry.text, "0.0 dB")
            compare(widget.entry.selectedText, "0.0 dB")
            type("-6")
            keyClick(Qt.Key_Return)
            verify(!widget.editing)
            // -6 dB, its nearest code.
            compare(widget.driver.networkValue, 0x8000 - 1536)
            compare(widget.valueText, "-6.0\u2009dB")
            compare(widget.notice, "")
            // The field keeps the keyboard's focus, and shows it.
            verify(widget.activeFocus)
            verify(findChild(widget, "focusFrame").visible)
        }

        // Clicking another field, or Tab, applies what was typed; the first
        // field then shows the value it holds, never a blank.
        function test_leaving_applies() {
            const first = makeWidget(20)
            const second = makeWidget(160)
            openEntry(first)
            type("-3")
            openEntry(second)
            verify(!first.editing)
            compare(first.driver.networkValue, 0x8000 - 768)
            compare(findChild(first, "valueText").text, "-3.0\u2009dB")
            type("4.5")
            keyClick(Qt.Key_Tab)
            verify(!second.editing)
            compare(second.driver.networkValue, 0x8000 + 1152)
            verify(!second.entry.activeFocus)
        }

        function test_hiding_applies_and_blank_restores() {
            const widget = makeWidget()
            makeWidget(160)
            openEntry(widget)
            type("2")
            widget.visible = false
            verify(!widget.editing)
            compare(widget.driver.networkValue, 0x8000 + 512)
            widget.visible = true
            openEntry(widget)
            keyClick(Qt.Key_Backspace)
            compare(widget.entry.text, "")
            keyClick(Qt.Key_Tab)
            verify(!widget.editing)
            compare(widget.driver.networkValue, 0x8000 + 512)
            compare(widget.notice, "")
        }

        // Beyond the range: held at its end, and the field says so.
        function test_entry_beyond_the_range() {
            const widget = makeInputGain()
            widget.driver.networkValue = 0x8000 - 768
            openEntry(widget)
            type("+6")
            keyClick(Qt.Key_Return)
            compare(widget.driver.networkValue, 0x8000)
            compare(widget.notice, "The highest is 0.0\u2009dB")
            verify(widget.noticeLabel.visible)
            openEntry(widget)
            compare(widget.notice, "")
            type("-50")
            keyClick(Qt.Key_Return)
            compare(widget.driver.networkValue, 0)
            compare(widget.valueText, "-Inf\u2009dB")
            compare(widget.notice, "Below -40.0\u2009dB is off")
        }

        function test_keys_and_wheel_step() {
            const widget = makeInputGain()
            widget.driver.networkValue = 0x8000 - 2432
            widget.forceActiveFocus()
            keyClick(Qt.Key_Up)
            compare(widget.driver.networkValue, 0x8000 - 2304)  // -9.0 dB
            keyClick(Qt.Key_Up, Qt.ShiftModifier)
            compare(widget.valueText, "-8.9\u2009dB")
            keyClick(Qt.Key_Down)
            compare(widget.valueText, "-9.0\u2009dB")
            keyClick(Qt.Key_PageUp)
            compare(widget.valueText, "-4.0\u2009dB")
            keyClick(Qt.Key_PageUp)
            compare(widget.driver.networkValue, 0x8000)  // held at the top
            mouseWheel(widget, 40, 10, 0, -120)
            compare(widget.valueText, "-0.5\u2009dB")
            // A typed digit opens the entry with it.
            keyClick("7")
            verify(widget.editing)
            compare(widget.entry.text, "7")
        }

        function test_escape_and_refused_text_change_nothing() {
            const widget = makeWidget()
            openEntry(widget)
            type("-9")
            keyClick(Qt.Key_Escape)
            verify(!widget.editing)
            compare(widget.driver.networkValue, 0x8000)
            openEntry(widget)
            type("loud")
            keyClick(Qt.Key_Return)
            compare(widget.driver.networkValue, 0x8000)
            compare(widget.notice, "loud: not a gain")
            compare(findChild(widget, "valueText").text, "0.0\u2009dB")
        }

        function test_entry_is_at_most_ten_characters() {
            const widget = makeWidget()
            openEntry(widget)
            type("-1.00000000000")
            compare(widget.entry.text.length, 10)
        }

        // Right, then up: (dx - dy) x the width, from the value at the press.
        function test_right_button_drag() {
            const widget = makeWidget()
            mousePress(widget, 40, 10, Qt.RightButton)
            mouseMove(widget, 43, 8, -1, Qt.RightButton)
            compare(widget.driver.networkValue, 0x8000 + (3 + 2) * 80)
            mouseMove(widget, 38, 10, -1, Qt.RightButton)
            compare(widget.driver.networkValue, 0x8000 - 2 * 80)
            mouseRelease(widget, 38, 10, Qt.RightButton)
            verify(!widget.editing)
        }
    }
}
