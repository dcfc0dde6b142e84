import QtQuick 2.15
import QtTest 1.2
import EWDrivers 1.0
import EWQml 2.0
import Orvel 1.0

// What QML reaches of the equaliser graph and the drivers: bands declared in
// the graph's list, their enum-typed properties, paths as SVG data, handle
// positions, and the local value properties of the drivers.
TestCase {
    id: testCase

    name: "PEQGraphTypes"

    Component {
        id: graphComponent

        PEQQmlBackEnd {
            id: graph

            property alias shelf: shelf
            property alias bell: bell
            property alias highPass: highPass
            property alias shelfLine: shelfLine

            bandList: [
                PEQQmlBand {
                    id: shelf

                    type: PEQTypes.LFSHELF
                    bandColour: "#ff00ff"
                },
                PEQQmlBand {
                    id: bell
                },
                HPFQmlBand {
                    id: highPass

                    highPassType: PEQTypes.HPF_BUTTERWORTH_24_DB
                }
            ]

            property PathPainterPath shelfLineObject: PathPainterPath {
                id: shelfLine

                path: shelf.linePath
            }
        }
    }

    Component {
        id: switchComponent

        QtBooleanSwitchDriver {}
    }

    Component {
        id: faderComponent

        QtSignalSlotContinuousControllerDriver {}
    }

    function test_graph_from_qml() {
        var graph = createTemporaryObject(graphComponent, testCase)
        verify(graph !== null)
        compare(graph.shelf.type, PEQTypes.LFSHELF)
        compare(graph.highPass.highPassType, PEQTypes.HPF_BUTTERWORTH_24_DB)
        graph.setQMLPEQObjectAndStart()
        tryVerify(function() { return graph.shelfLine.svgPath.length > 0 })
        verify(graph.shelfLine.svgPath.indexOf("M0.00 163.00") === 0)
        compare(graph.zeroYPos, 163.5)

        var moved = 0
        graph.bell.graphDragPointChanged.connect(function() { moved++ })
        graph.bell.setDragPos(324, 0)
        tryVerify(function() { return moved > 0 })
        compare(graph.bell.graphDragPoint.y, (20 - 15) / 40)
        verify(graph.bell.graphDragPoint.x > 0.49 && graph.bell.graphDragPoint.x < 0.51)
    }

    function test_drivers_from_qml() {
        var mute = createTemporaryObject(switchComponent, testCase)
        mute.value = true
        compare(mute.value, true)
        var fader = createTemporaryObject(faderComponent, testCase)
        fader.value = 0.5
        compare(fader.networkValue, 32768)
        compare(fader.max, 65535)
    }
}
