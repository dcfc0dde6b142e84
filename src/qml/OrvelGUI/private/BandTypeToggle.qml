import QtQuick 2.15
import EWDrivers 1.0
import "../"

// Switches a band between a shelf and a bell, drawn by the two images.
OrvelButton {
    id: typeToggle

    property QtIntegerSwitchDriver driver: null
    property int shelfType: 1
    property int bellType: 0
    property url shelfImage: ""
    property url bellImage: ""
    readonly property bool shelf: driver !== null && driver.value === shelfType

    implicitWidth: 40
    implicitHeight: 28
    enabled: driver !== null
    imageSource: shelf ? shelfImage : bellImage

    onClicked: driver.value = shelf ? bellType : shelfType
}
