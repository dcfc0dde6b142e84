import QtQuick 2.15
import EWDrivers 1.0

// An on/off button on a switch driver: shows textOn or textOff (or the
// matching images); `invert` flips the sense, so a bypass switch reads "IN"
// while it is off. A click toggles the driver's value.
OrvelButton {
    id: toggle

    property QtBooleanSwitchDriver driver: null
    property bool invert: false
    property string textOn: qsTr("ON")
    property string textOff: qsTr("OFF")
    property url imageOn: ""
    property url imageOff: ""
    readonly property bool isOn: driver !== null && (driver.value !== invert)

    text: imageOn == "" ? (isOn ? textOn : textOff) : ""
    imageSource: imageOn == "" ? "" : (isOn ? imageOn : imageOff)
    backgroundColor: isOn ? "#0b3b40" : Styles.colorFG
    borderColor: isOn ? Styles.colorHighlight2 : "#5a5a5a"
    textColor: isOn ? Styles.colorHighlight2 : "#9a9a9a"
    enabled: driver !== null

    onClicked: driver.value = !driver.value
}
