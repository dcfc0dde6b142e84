import QtQuick 2.15
import QtTest 1.2
import "qrc:/OrvelGUI/private"

// The loader's status line for every link state, and the result line.
Item {
    id: stage

    width: 420
    height: 100

    Component {
        id: boxComponent

        LoaderMessageBox {
            width: 400
            height: 50
            version: "V1.4"
        }
    }

    TestCase {
        id: testCase

        name: "LoaderMessageBox"
        when: windowShown

        function test_status_data() {
            return [
                { tag: "no devices", connect: false, state: 0, ports: 0, text: "Status: No devices detected" },
                { tag: "connecting without a list", connect: true, state: 0, ports: 0,
                    text: "Status: Attempting to connect" },
                { tag: "idle", connect: false, state: 0, ports: 2, text: "Status: Not connected" },
                { tag: "attempting", connect: true, state: 0, ports: 1, text: "Status: Attempting to connect" },
                { tag: "port open", connect: true, state: 1, ports: 1, text: "Status: Port Open" },
                { tag: "connected", connect: true, state: 2, ports: 1, text: "Status: Connected, V1.4" },
                { tag: "getting sync", connect: true, state: 3, ports: 1, text: "Status: Getting Sync" },
                { tag: "syncing", connect: true, state: 4, ports: 1, text: "Status: Syncing" },
                { tag: "no reply", connect: true, state: 5, ports: 1, text: "Status: No Reply" },
                { tag: "disconnecting", connect: false, state: 6, ports: 1, text: "" },
                { tag: "unknown state", connect: true, state: 200, ports: 1, text: "" }
            ]
        }

        function test_status(data) {
            const box = createTemporaryObject(boxComponent, stage,
                                              { connectRequested: data.connect, linkState: data.state,
                                                portCount: data.ports })
            verify(box)
            compare(box.statusLabel.text, data.text)
            compare(box.statusLabel.font.family, "Spartan")
            compare(box.statusLabel.font.pixelSize, 14)
            verify(box.statusLabel.font.bold)
        }

        function test_result_line() {
            const box = createTemporaryObject(boxComponent, stage, { portCount: 1 })
            verify(box)
            verify(!box.resultLabel.visible)
            box.resultText = "Recall a-configuration-with-a-name-far-too-long-for-the-box.cfg Failed"
            verify(box.resultLabel.visible)
            // Cut on the left, so the outcome stays readable.
            tryCompare(box.resultLabel, "truncated", true)
            compare(box.resultLabel.elide, Text.ElideLeft)
            box.resultText = ""
            verify(!box.resultLabel.visible)
        }
    }
}
