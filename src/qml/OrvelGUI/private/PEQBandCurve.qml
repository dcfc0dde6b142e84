import QtQuick 2.15
import QtQuick.Shapes 1.15
import EWQml 2.0
import Orvel 1.0

// One band's curve: its fill from the 0 dB line (grey while it is out,
// bypassed or with its whole equaliser), its line, and, when asked for, the
// curve of what the device really gets, dashed.
Shape {
    id: curve

    property PEQQmlBandBase band: null
    property bool showQuantised: false
    readonly property color colour: band === null ? "white" : band.bandColour
    readonly property bool bypassed: band !== null && band.bandOut

    PathPainterPath { id: fillPath; path: curve.band ? curve.band.path : null }
    PathPainterPath { id: linePath; path: curve.band ? curve.band.linePath : null }
    PathPainterPath { id: devicePath; path: curve.band ? curve.band.quantisedLinePath : null }

    ShapePath {
        strokeColor: "transparent"
        fillGradient: LinearGradient {
            y1: 0
            y2: curve.height
            GradientStop { position: 0.0; color: curve.bypassed ? "#99808080" : Qt.rgba(curve.colour.r, curve.colour.g, curve.colour.b, 0.55) }
            GradientStop { position: 0.5; color: curve.bypassed ? "#20808080" : Qt.rgba(curve.colour.r, curve.colour.g, curve.colour.b, 0.12) }
            GradientStop { position: 1.0; color: curve.bypassed ? "#99808080" : Qt.rgba(curve.colour.r, curve.colour.g, curve.colour.b, 0.55) }
        }
        PathSvg { path: fillPath.svgPath }
    }

    ShapePath {
        strokeColor: curve.bypassed ? "#808080" : curve.colour
        strokeWidth: 1.5
        fillColor: "transparent"
        PathSvg { path: linePath.svgPath }
    }

    ShapePath {
        strokeColor: curve.showQuantised ? Qt.lighter(curve.colour, 1.4) : "transparent"
        strokeWidth: 1
        strokeStyle: ShapePath.DashLine
        dashPattern: [3, 3]
        fillColor: "transparent"
        PathSvg { path: curve.showQuantised ? devicePath.svgPath : "" }
    }
}
