import QtQuick 2.15
import QtTest 1.2
import EWDrivers 1.0
import OrvelGUI 1.0
import "qrc:/OrvelGUI/private/LinkStatus.js" as LinkStatus

// The editor's small leaves on drivers of their own: the toggle button, the
// meter and its scale (also with ends that meet or cross), and the editor's
// status texts and colours.
Item {
    id: stage

    width: 300
    height: 400

    Component {
        id: toggleComponent

        OrvelToggleButton {
            width: 60
            height: 26
            textOn: "IN"
            textOff: "OUT"
            driver: QtBooleanSwitchDriver {}
        }
    }

    Component {
        id: scaleComponent

        MeteringScale {
            width: 30
            height: 300
        }
    }

    Component {
        id: meterComponent

        OrvelMeter {
            width: 12
            height: 200
            driver: QtSignalSlotMeterDriver {}
        }
    }

    TestCase {
        name: "EditorLeaves"
        when: windowShown

        function test_toggle() {
            const toggle = createTemporaryObject(toggleComponent, stage)
            verify(toggle)
            compare(toggle.text, "OUT")
            mouseClick(toggle)
            verify(toggle.driver.value)
            compare(toggle.text, "IN")
            // A bypass switch: on means "not bypassed".
            toggle.invert = true
            compare(toggle.text, "OUT")
            mouseClick(toggle)
            verify(!toggle.driver.value)
            compare(toggle.text, "IN")
        }

        function test_meter_bar() {
            const meter = createTemporaryObject(meterComponent, stage)
            verify(meter)
            compare(meter.barPosition, 200)
            meter.driver.bottomOfMeter = -1000
            meter.driver.topOfMeter = 1000
            compare(meter.barPosition, 200)
        }

        function test_scale_range() {
            const scale = createTemporaryObject(scaleComponent, stage)
            verify(scale)
            // Minus infinity to +10 dB: a span beyond 16 bits.
            compare(scale.bottomGain, -32767)
            compare(scale.topGain, 2560)
            compare(scale.position(0), 32767 / 35327)
            compare(scale.position(-40000), 0)
            compare(scale.position(9000), 1)
        }

        function test_scale_with_ends_that_meet_or_cross_data() {
            return [{ tag: "equal", bottom: 256, top: 256 }, { tag: "inverted", bottom: 2560, top: -2560 }]
        }
        function test_scale_with_ends_that_meet_or_cross(data) {
            const meter = createTemporaryObject(meterComponent, stage)
            const scale = createTemporaryObject(scaleComponent, stage, { driver: meter.driver })
            meter.driver.bottomOfMeter = data.bottom
            meter.driver.topOfMeter = data.top
            compare(scale.position(0), 0)
            compare(scale.position(256), 0)
            compare(meter.barPosition, 200)
            verify(findChild(scale, "label0") === null)
        }

        // A strip's scale (its meter's range, -40 to +18): a label every
        // 6 dB from the top, "-Inf" at the bottom, each where the meter's bar
        // stands for that reading.
        function test_scale_marks() {
            const meter = createTemporaryObject(meterComponent, stage, { height: 300 })
            const scale = createTemporaryObject(scaleComponent, stage, { driver: meter.driver })
            meter.driver.bottomOfMeter = -10240
            meter.driver.topOfMeter = 4608
            const texts = ["+18", "+12", "+6", "0", "-6", "-12", "-18", "-24", "-30", "-36", "-Inf"]
            for (let i = 0; i < texts.length; ++i) {
                const label = findChild(scale, "label" + i)
                verify(label, texts[i])
                compare(label.text, texts[i])
                const gain = i < 10 ? (18 - 6 * i) * 256 : -10240
                const expected = Math.round(300 - meter.driver.getFloatForUWORD(gain) * 300)
                verify(Math.abs(label.y + label.height / 2 - expected) <= 1, texts[i] + ": " + label.y + " vs " + expected)
            }
            verify(findChild(scale, "label11") === null)
            // Ends off the 6 dB grid: the marks still fall on it.
            meter.driver.topOfMeter = 3000
            compare(findChild(scale, "label0").text, "+6")
        }

        function test_status_data() {
            return [
                { tag: "no devices", connect: false, state: 0, ports: 0, text: "Status: No devices detected", colour: "red" },
                { tag: "device detected", connect: false, state: 0, ports: 1, text: "Status: Device Detected", colour: "orange" },
                { tag: "attempting", connect: true, state: 0, ports: 1, text: "Status: Attempting to connect", colour: "orange" },
                { tag: "connected", connect: true, state: 2, ports: 1, text: "Status: Connected, V1.4", colour: "#39b54a" },
                { tag: "no reply", connect: true, state: 5, ports: 1, text: "Status: No Reply", colour: "red" },
                { tag: "disconnecting", connect: false, state: 6, ports: 1, text: "Status: Disconnecting", colour: "orange" }
            ]
        }
        function test_status(data) {
            compare(LinkStatus.text(data.connect, data.state, "V1.4", data.ports, true), data.text)
            compare(LinkStatus.colour(data.connect, data.state, data.ports), data.colour)
        }
    }
}
