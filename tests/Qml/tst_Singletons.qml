import QtQuick 2.15
import QtTest 1.2
import ThemeColours 1.0
import ValueInterpreter 1.0
import EWQml 2.0
import Orvel 1.0
import "qrc:/Gains.js" as Gains

// What QML reaches of the program's registrations: the theme's colour
// groups, the formatting singleton with enum arguments, the formatter
// object, the gain script.
TestCase {
    id: testCase

    name: "Singletons"

    Component {
        id: formatComponent

        EWCCFormat {}
    }

    function test_theme_groups() {
        verify(Qt.colorEqual(Theme.graphLine.scaleMajor, Qt.rgba(63 / 255, 63 / 255, 63 / 255, 1)))
        verify(Qt.colorEqual(Theme.peqGraphActive.hpfBandColour, "#00ff00"))
        verify(Qt.colorEqual(Theme.peqGraphBypassed.overviewColour, Qt.rgba(127 / 255, 127 / 255, 127 / 255, 1)))
        compare(Theme.grGraphActive.mainLineWidth, 2.0)
        compare(Theme.scaleFactor, 1.0)
    }

    function test_interpreter() {
        compare(Interpreter.interpretValueAndUnits(32768 + 256, EWCCFormat.GAIN_OFFSET_DB,
                                                   EWCCFormat.ONE_DECIMAL_PLACE), "1.0\u2009dB")
        compare(Interpreter.interpretValue(0x1E00, ProjectCCFormat.FILTER_WIDTH, EWCCFormat.NO_DECIMAL_PLACES), "0.5")
        compare(Interpreter.interpretUnits(36864, EWCCFormat.FREQ_HZ, EWCCFormat.NO_DECIMAL_PLACES), "kHz")
        compare(Interpreter.interpretValueAndUnitsWithExponent(960, 343.0, ProjectCCFormat.DELAY_DISTANCE_M_96K,
                                                               EWCCFormat.TWO_DECIMAL_PLACES, " "), "3.43 m")
        compare(Interpreter.valueFromString("1k", EWCCFormat.FREQ_HZ, 0, 65535), 36706)
        compare(Interpreter.valueFromString("fast", EWCCFormat.FREQ_HZ, 0, 65535), -1)
    }

    function test_formatter_object() {
        const format = createTemporaryObject(formatComponent, testCase, { ewCCType: EWCCFormat.FREQ_HZ })
        verify(format)
        compare(format.interpretValue(36864), "1.02")
        compare(format.interpretUnits(36864), " kHz")
        format.compressUnits = true
        compare(format.interpretUnits(36864), "kHz")
    }

    function test_product_format_is_not_for_qml() {
        let message = ""
        try {
            Qt.createQmlObject("import Orvel 1.0; ProjectCCFormat {}", testCase)
        } catch (error) {
            message = error.qmlErrors[0].message
        }
        verify(message.indexOf("use Interpreter.<function> instead") >= 0, message)
    }

    function test_gains() {
        compare(Gains.gainToUWORD(Gains.MINUS_INFINITY), 0)
        compare(Gains.uwordToGain(0), Gains.MINUS_INFINITY)
        compare(Gains.gainToUWORD(Gains.PLUS_12_DB), 0x8C00)
        compare(Gains.uwordToGain(Gains.MINUS_40_DB_OFFSET_B), Gains.MINUS_40_DB)
        compare(Gains.MINUS_1_POINT_5_DB, -384)
        compare(Gains.PLUS_FIVE_DB_OFFSET_B, Gains.PLUS_5_DB_OFFSET_B)
    }
}
