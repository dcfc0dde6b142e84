import QtQuick 2.15
import QtTest 1.2
import "qrc:/OrvelGUI/private"

// Choosing one of several device ports.
TestCase {
    id: testCase

    name: "PortSelectionPopup"
    when: windowShown
    width: 420
    height: 300

    Component {
        id: popupComponent

        PortSelectionPopup {}
    }

    SignalSpy {
        id: chosenSpy

        signalName: "portChosen"
    }

    function openPopup(names) {
        const popup = createTemporaryObject(popupComponent, testCase, { portNames: names })
        verify(popup)
        chosenSpy.clear()
        chosenSpy.target = popup
        verify(chosenSpy.valid)
        popup.open()
        tryCompare(popup, "opened", true)
        return popup
    }

    function test_choosing_a_port() {
        const popup = openPopup(["ttyORVA", "ttyORVB", "ttyORVC"])
        const button = findChild(popup.contentItem, "portButton2")
        verify(button)
        compare(button.text, "ttyORVC")
        compare(button.width, 150)
        compare(button.height, 30)
        mouseClick(button)
        compare(chosenSpy.count, 1)
        compare(chosenSpy.signalArguments[0][0], "ttyORVC")
        tryCompare(popup, "visible", false)
    }

    function test_escape_closes_without_a_choice() {
        const popup = openPopup(["ttyORVA", "ttyORVB"])
        keyClick(Qt.Key_Escape)
        tryCompare(popup, "visible", false)
        compare(chosenSpy.count, 0)
    }

    function test_a_click_beside_it_keeps_it_open() {
        const popup = openPopup(["ttyORVA", "ttyORVB"])
        mouseClick(testCase, 5, 5)
        verify(popup.opened)
        compare(chosenSpy.count, 0)
    }
}
