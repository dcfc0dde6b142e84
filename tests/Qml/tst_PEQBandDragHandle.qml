import QtQuick 2.15
import QtTest 1.2
import OrvelGUI 1.0

// A band's handle on a plain stage: what it emits is of the band's point,
// also while it is drawn aside from it, and a drag straight down keeps the
// x it started at.
Item {
    id: stage

    width: 400
    height: 300

    Component {
        id: handleComponent

        PEQBandDragHandle {
            property var started: []
            property var moves: []

            centre: Qt.point(200, 150)
            dragRadius: 8
            onDragStarted: started = [atX, atY]
            onDragged: moves.push([toX, toY])
        }
    }

    TestCase {
        name: "PEQBandDragHandle"
        when: windowShown

        function test_emits_the_bands_point_data() {
            return [{ tag: "on its point", offset: 0 }, { tag: "drawn aside", offset: 18 }]
        }
        function test_emits_the_bands_point(data) {
            const handle = createTemporaryObject(handleComponent, stage, { displayOffset: Qt.point(data.offset, 0) })
            verify(handle)
            compare(handle.x + handle.width / 2, 200 + data.offset)
            compare(findChild(handle, "truePoint").visible, data.offset !== 0)
            // Pressed a little off its centre, dragged straight down.
            mouseDrag(handle, handle.width / 2 + 3, handle.height / 2 - 2, 0, 40)
            compare(handle.started, [200, 150])
            verify(handle.moves.length > 0)
            for (let i = 0; i < handle.moves.length; ++i)
                compare(handle.moves[i][0], 200)
            compare(handle.moves[handle.moves.length - 1][1], 190)
        }
    }
}
