import QtQuick 2.15
import QtTest 1.2
import EWDrivers 1.0
import EWQml 2.0
import OrvelGUI 1.0

// A value widget on a driver of its own: the text it shows, text entry
// (Enter applies, Escape restores, refused text changes nothing) and the
// right-button drag.
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

        function makeWidget() {
            const widget = createTemporaryObject(widgetComponent, stage)
            verify(widget)
            widget.driver.setRange(0x7100, 0x8F00, false)
            widget.driver.networkValue = 0x8000
            return widget
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
            mouseClick(widget)
            verify(widget.editing)
            compare(widget.entry.text, "")
            tryVerify(function() { return widget.entry.activeFocus })
            type("-6")
            keyClick(Qt.Key_Return)
            verify(!widget.editing)
            // -6 dB: round(-6 x 256) + 32768 - 8.
            compare(widget.driver.networkValue, 31224)
        }

        function test_escape_and_refused_text_change_nothing() {
            const widget = makeWidget()
            mouseClick(widget)
            tryVerify(function() { return widget.entry.activeFocus })
            type("-9")
            keyClick(Qt.Key_Escape)
            verify(!widget.editing)
            compare(widget.driver.networkValue, 0x8000)
            mouseClick(widget)
            tryVerify(function() { return widget.entry.activeFocus })
            type("loud")
            keyClick(Qt.Key_Return)
            compare(widget.driver.networkValue, 0x8000)
        }

        function test_entry_is_at_most_ten_characters() {
            const widget = makeWidget()
            mouseClick(widget)
            tryVerify(function() { return widget.entry.activeFocus })
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
