import QtQuick 2.15
import EWQml 2.0
import Orvel 1.0
import "../"
import "Bands.js" as Bands
import "Legible.js" as Legible

// The value widgets of one band (frequency, gain, Q) over its colour,
// its name, and for the first and last band the shelf/bell switch.
Column {
    id: controls

    property PEQBandDrivers band: null
    property int bandCount: 6
    property int index: 0
    readonly property bool first: index === 0
    readonly property bool last: index === bandCount - 1
    // What the band's type gives effect to: shelves have no width.
    readonly property int type: band ? band.bandTypeSwitchDriver.value : PEQTypes.BELL
    readonly property bool hasWidth: type === PEQTypes.BELL || type === PEQTypes.NOTCH
    readonly property bool hasGain: hasWidth || type === PEQTypes.LFSHELF || type === PEQTypes.HFSHELF

    spacing: 4

    Text {
        width: parent.width
        text: Bands.name(controls.bandCount, controls.index)
        color: Bands.colour(controls.bandCount, controls.index)
        font.family: Styles.fonts.family
        font.bold: true
        font.pixelSize: Legible.pixels(12, controls)
        horizontalAlignment: Text.AlignHCenter
    }

    OrvelCombiWidget {
        objectName: "frequency" + controls.index
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(parent.width, 120)
        height: 22
        driver: controls.band ? controls.band.frequencyDriver : null
        ewCCType: EWCCFormat.FREQ_HZ
        decimalPlaces: EWCCFormat.ONE_DECIMAL_PLACE
        backgroundSource: Bands.background(controls.bandCount, controls.index)
    }

    OrvelCombiWidget {
        objectName: "gain" + controls.index
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(parent.width, 120)
        height: 22
        driver: controls.band ? controls.band.gainDriver : null
        enabled: controls.hasGain
        ewCCType: EWCCFormat.GAIN_OFFSET_DB
        decimalPlaces: EWCCFormat.ONE_DECIMAL_PLACE
        backgroundSource: Bands.background(controls.bandCount, controls.index)
    }

    OrvelCombiWidget {
        objectName: "width" + controls.index
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(parent.width, 120)
        height: 22
        driver: controls.band ? controls.band.widthDriver : null
        enabled: controls.hasWidth
        // The Q the bell's curve has at its gain and frequency, as filter
        // tools read it (the exponent carries both: frequency x 65536 + gain).
        ewCCType: ProjectCCFormat.BELL_Q
        exponent: controls.band ? controls.band.frequencyDriver.networkValue * 65536
                                  + controls.band.gainDriver.networkValue : NaN
        showUnits: false
        decimalPlaces: EWCCFormat.TWO_DECIMAL_PLACES
        backgroundSource: Bands.background(controls.bandCount, controls.index)
    }

    BandTypeToggle {
        objectName: "bandType" + controls.index
        anchors.horizontalCenter: parent.horizontalCenter
        visible: controls.first || controls.last
        width: 40
        height: 28
        driver: controls.band ? controls.band.bandTypeSwitchDriver : null
        shelfType: controls.first ? PEQTypes.LFSHELF : PEQTypes.HFSHELF
        bellType: PEQTypes.BELL
        shelfImage: controls.first ? "qrc:/ShelfLow.svg" : "qrc:/ShelfHigh.svg"
        bellImage: controls.first ? "qrc:/BellLow.svg" : "qrc:/BellHigh.svg"
    }
}
