import QtQuick 2.15
import EWDrivers 1.0

// A vertical fader on a controller driver. The cap sits at bottom - value x
// travel. A drag starts once the pointer has moved more vertically than
// sideways (or after a 250 ms hold); beyond half the fader's width sideways
// the movement is damped by exp(-dx / width). Two presses without movement
// within 500 ms emit doubleClicked.
Item {
    id: fader

    property QtSignalSlotContinuousControllerDriver driver: null
    property real dragThreshold: 0
    property real dragRatio: 1.0
    readonly property real capHeight: Math.round(width * 0.6)
    readonly property real travel: height - capHeight
    readonly property real bottomPosition: travel
    readonly property real value: driver === null ? 0 : driver.value
    property alias cap: cap
    property alias touchArea: touchArea

    signal doubleClicked()

    implicitWidth: 40
    implicitHeight: 300

    Rectangle {
        id: track

        anchors.horizontalCenter: parent.horizontalCenter
        y: fader.capHeight / 2
        width: 4
        height: fader.travel
        radius: 2
        color: "#0c0c0c"
        border.color: "#3a3a3a"
    }

    Repeater {
        model: 11

        Rectangle {
            x: fader.width * 0.15
            y: Math.round(fader.capHeight / 2 + index * fader.travel / 10)
            width: fader.width * 0.7
            height: 1
            color: index % 5 === 0 ? "#6a6a6a" : "#3a3a3a"
        }
    }

    Image {
        id: cap

        objectName: "faderCap"
        width: fader.width
        height: fader.capHeight
        y: touchArea.dragging ? touchArea.dragPos : Math.round(fader.bottomPosition - fader.value * fader.travel)
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
            dragPos = Math.max(0, Math.min(fader.travel,
                                           dragPos + (mouse.y - lastY) * Math.exp(-aside / fader.width)))
            lastX = mouse.x
            lastY = mouse.y
            if (Math.abs(dragPos - appliedPos) > 1) {
                appliedPos = dragPos
                fader.driver.value = (fader.bottomPosition - dragPos) / fader.travel
            }
        }
        onReleased: {
            holdTimer.stop()
            if (dragging && dragPos !== appliedPos)
                fader.driver.value = (fader.bottomPosition - dragPos) / fader.travel
            dragging = false
        }
    }

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
