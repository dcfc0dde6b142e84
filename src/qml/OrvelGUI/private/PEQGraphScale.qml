import QtQuick 2.15
import QtQuick.Shapes 1.15
import EWQml 2.0
import Orvel 1.0
import ThemeColours 1.0

// The graph's grid (minor and major frequency lines, level lines every
// 5 dB, the 0 dB line) and its labels: frequencies along the bottom, gains
// down the left.
Item {
    id: graphScale

    property PEQQmlBackEnd graph: null
    property font font

    PathPainterPath { id: minorGrid; path: graphScale.graph ? graphScale.graph.svgPathDataScaleMinor : null }
    PathPainterPath { id: majorGrid; path: graphScale.graph ? graphScale.graph.svgPathDataScaleMajor : null }
    PathPainterPath { id: levelGrid; path: graphScale.graph ? graphScale.graph.gainGridPath : null }

    Shape {
        anchors.fill: parent

        ShapePath { strokeColor: Theme.graphLine.scaleMinor; fillColor: "transparent"; PathSvg { path: minorGrid.svgPath } }
        ShapePath { strokeColor: Theme.graphLine.scaleMajor; fillColor: "transparent"; PathSvg { path: majorGrid.svgPath } }
        ShapePath { strokeColor: Theme.graphLine.scaleMinor; fillColor: "transparent"; PathSvg { path: levelGrid.svgPath } }
        ShapePath {
            strokeColor: "#50ffffff"
            fillColor: "transparent"
            startX: graphScale.graph ? graphScale.graph.yScaleMargin : 0
            startY: graphScale.graph ? graphScale.graph.zeroYPos : 0
            PathLine { x: graphScale.width; y: graphScale.graph ? graphScale.graph.zeroYPos : 0 }
        }
    }

    Repeater {
        model: graphScale.graph ? graphScale.graph.scaleTextList : []

        Text {
            x: Math.round(modelData.position.x - width / 2)
            y: Math.round(modelData.position.y - height / 2)
            text: modelData.scaleText
            color: "#8aa0a6"
            font: graphScale.font
        }
    }

    Repeater {
        model: graphScale.graph ? [15, 10, 5, 0, -5, -10, -15] : []

        Text {
            x: 2
            y: Math.round((graphScale.graph.gainRangeMax - modelData) * graphScale.height
                          / (graphScale.graph.gainRangeMax - graphScale.graph.gainRangeMin) + 0.5 - height / 2)
            text: modelData > 0 ? "+" + modelData : String(modelData)
            color: "#8aa0a6"
            font: graphScale.font
        }
    }
}
