import QtQuick 2.15
import EWQml 2.0
import Orvel 1.0
import "private"
import "private/Legible.js" as Legible

// One output panel: high-pass, low-pass (not on High, which shows the
// high-pass slope instead) and delays across the top, the two equalisers
// below with their gang (ganged, the left one alone at full width), and the
// output faders on the right.
Item {
    id: panel

    property LowMidHighBackend backend: null
    readonly property int panelType: backend ? backend.panelType : 3
    readonly property bool high: panelType !== 1 && panelType !== 2
    readonly property bool ganged: backend !== null && backend.ganged.value
    property alias leftEQ: leftEQ
    property alias rightEQ: rightEQ
    property alias faders: faders

    SetupBox {
        id: highPass

        width: panel.high ? 340 : 230
        height: 96
        title: qsTr("HIGH-PASS")
        icon: "qrc:/HighPass.svg"

        OrvelCombiWidget {
            objectName: "highPassFrequency"
            width: 90; height: 26
            driver: panel.backend ? panel.backend.valueLF : null
            ewCCType: EWCCFormat.FREQ_HZ
            decimalPlaces: EWCCFormat.ONE_DECIMAL_PLACE
        }
        OrvelToggleButton {
            objectName: "highPassInOut"
            width: 56; height: 26
            driver: panel.backend ? panel.backend.bypassDriverLF : null
            invert: true; textOn: qsTr("IN"); textOff: qsTr("OUT")
        }
        OrvelComboBox {
            objectName: "highPassSlope"
            visible: panel.high
            width: 160; height: 26
            model: panel.backend ? panel.backend.slopeLF.descriptions : null
            textRole: "qtVariant"
            currentIndexSource: panel.backend ? panel.backend.slopeLF.currentIndex : -1
            onActivated: panel.backend.slopeLF.setCurrentIndex(index)
        }
    }

    SetupBox {
        id: lowPass

        x: highPass.width + Styles.spacing
        width: 230
        height: 96
        visible: !panel.high
        title: qsTr("LOW-PASS")
        icon: "qrc:/LowPass.svg"

        OrvelCombiWidget {
            objectName: "lowPassFrequency"
            width: 90; height: 26
            driver: panel.backend ? panel.backend.valueHF : null
            ewCCType: EWCCFormat.FREQ_HZ
            decimalPlaces: EWCCFormat.ONE_DECIMAL_PLACE
        }
        OrvelToggleButton {
            objectName: "lowPassInOut"
            width: 56; height: 26
            driver: panel.backend ? panel.backend.bypassDriverHF : null
            invert: true; textOn: qsTr("IN"); textOff: qsTr("OUT")
        }
    }

    SetupBox {
        id: delays

        x: (panel.high ? highPass.width : lowPass.x + lowPass.width) + Styles.spacing
        width: faders.x - x - Styles.spacing
        height: 96
        title: qsTr("DELAY")

        Repeater {
            model: panel.backend ? [panel.backend.delayL, panel.backend.delayR] : []

            Row {
                spacing: 4

                Text {
                    height: 26
                    text: index === 0 ? qsTr("L") : qsTr("R")
                    color: "#9a9a9a"
                    font.family: Styles.fonts.family
                    font.bold: true
                    font.pixelSize: Legible.pixels(14, panel)
                    verticalAlignment: Text.AlignVCenter
                }
                OrvelCombiWidget {
                    objectName: "delay" + index
                    width: 80; height: 26
                    driver: modelData
                    ewCCType: EWCCFormat.TIME_SEC
                    decimalPlaces: EWCCFormat.ONE_DECIMAL_PLACE
                }
            }
        }
        OrvelToggleButton {
            objectName: "delayGang"
            width: 64; height: 26
            driver: panel.backend ? panel.backend.delayGanged : null
            textOn: qsTr("GANG"); textOff: qsTr("GANG")
        }
    }

    PEQBlock {
        id: leftEQ

        objectName: "leftEQ"
        y: highPass.height + Styles.spacing
        width: panel.ganged ? faders.x - Styles.spacing : (faders.x - 2 * Styles.spacing) / 2
        height: panel.height - y
        title: panel.ganged ? qsTr("EQ LEFT + RIGHT") : qsTr("EQ LEFT")
        backend: panel.backend ? panel.backend.peqBlockL : null
        gangDriver: panel.backend ? panel.backend.ganged : null
        outputPanel: panel.backend
        outputStrip: panel.backend ? panel.backend.outFadersL : null
    }

    PEQBlock {
        id: rightEQ

        objectName: "rightEQ"
        x: leftEQ.width + Styles.spacing
        y: leftEQ.y
        width: leftEQ.width
        height: leftEQ.height
        visible: !panel.ganged
        title: qsTr("EQ RIGHT")
        backend: panel.backend ? panel.backend.peqBlockR : null
        outputPanel: panel.backend
        outputStrip: panel.backend ? panel.backend.outFadersR : null
    }

    FaderBlock {
        id: faders

        objectName: "outputFaders"
        x: panel.width - width
        width: 250
        height: panel.height
        title: qsTr("OUTPUT")
        leftBackend: panel.backend ? panel.backend.outFadersL : null
        rightBackend: panel.backend ? panel.backend.outFadersR : null
    }
}
