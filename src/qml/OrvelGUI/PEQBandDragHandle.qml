import QtQuick 2.15
import "private/Legible.js" as Legible

// The handle of one equaliser band, centred on its point of the graph. It
// answers presses within 5 x its radius: a press selects the band, a press
// and release without moving deselects a selected one; the press emits where
// the drag starts, moves and the release where the handle is dragged to (the
// offset of the press kept), in the graph's pixels.
Item {
    id: handle

    property point centre: Qt.point(0, 0)
    // Drawn this far from the centre (another handle would cover it there);
    // what it emits is still of the centre.
    property point displayOffset: Qt.point(0, 0)
    property color colour: "white"
    property string label: ""
    property bool selected: false
    property bool marked: false
    // In the screen's own pixels, so that the handle scales with the rest
    // of it (about 2.5 mm at 96 dpi and the default size); with 5 mm, the
    // touch areas of bands an octave apart covered each other's handles.
    property real dragRadius: 9

    signal selectRequested(bool select)
    // A press: the handle's centre, where the drag starts.
    signal dragStarted(int atX, int atY)
    signal dragged(int toX, int toY)

    // In a row of handles it answers only its share of the row, this wide,
    // or the one above would take its presses.
    property real crowdedWidth: 0
    readonly property bool aside: displayOffset.x !== 0 || displayOffset.y !== 0

    x: centre.x + displayOffset.x - width / 2
    y: centre.y + displayOffset.y - height / 2
    width: crowdedWidth > 0 ? Math.min(5 * dragRadius, crowdedWidth) : 5 * dragRadius
    height: 5 * dragRadius
    z: selected ? 2 : 1

    Rectangle {
        anchors.centerIn: parent
        width: 2 * handle.dragRadius
        height: width
        radius: width / 2
        color: handle.colour
        opacity: handle.selected ? 1.0 : 0.85
        border.color: handle.selected ? "white" : "#15282e"
        border.width: handle.selected ? 2 : 1

        Text {
            anchors.centerIn: parent
            text: handle.label
            color: "white"
            font.family: Styles.fonts.family
            font.bold: true
            font.pixelSize: Legible.pixels(handle.dragRadius * 0.9, handle)
        }
    }

    // Where the band really is, while the handle stands aside.
    Rectangle {
        objectName: "truePoint"
        visible: handle.aside
        x: parent.width / 2 - handle.displayOffset.x - width / 2
        y: parent.height / 2 - handle.displayOffset.y - height / 2
        width: 5
        height: 5
        radius: 2.5
        color: handle.colour
        border.color: "white"
        border.width: 1
    }

    // The band's device curve departs from the drawn one.
    Rectangle {
        objectName: "mismatchMark"
        anchors.centerIn: parent
        visible: handle.marked
        width: 2 * handle.dragRadius + 8
        height: width
        radius: width / 2
        color: "transparent"
        border.color: "#ffcc00"
        border.width: 2
    }

    MouseArea {
        id: touchArea

        // From the pointer to the band's point, kept for the whole drag.
        property point offset: Qt.point(0, 0)
        property bool moved: false
        property bool wasSelected: false

        anchors.fill: parent
        preventStealing: true

        onPressed: {
            offset = Qt.point(mouse.x - width / 2 + handle.displayOffset.x,
                              mouse.y - height / 2 + handle.displayOffset.y)
            moved = false
            wasSelected = handle.selected
            const at = mapToItem(handle.parent, mouse.x - offset.x, mouse.y - offset.y)
            handle.dragStarted(Math.round(at.x), Math.round(at.y))
            if (!handle.selected)
                handle.selectRequested(true)
        }
        onPositionChanged: {
            moved = true
            const at = mapToItem(handle.parent, mouse.x - offset.x, mouse.y - offset.y)
            handle.dragged(Math.round(at.x), Math.round(at.y))
        }
        onReleased: {
            if (moved) {
                const at = mapToItem(handle.parent, mouse.x - offset.x, mouse.y - offset.y)
                handle.dragged(Math.round(at.x), Math.round(at.y))
            } else if (wasSelected) {
                handle.selectRequested(false)
            }
        }
    }
}
