import QtQuick 2.15
import QtQuick.Controls 2.15
import OrvelGUI 1.0

// Asks which of several device ports to connect to. A button is 150 wide,
// wider for a name that does not fit, up to the window's width, and then cut
// in the middle, where names that begin and end alike differ least often.
Popup {
    id: portPopup

    property alias portNames: portRepeater.model
    readonly property real widestButton: Math.max(150, (parent ? parent.width : 420) - 4 * Styles.margin)

    signal portChosen(string name)

    anchors.centerIn: Overlay.overlay
    modal: true
    dim: true
    closePolicy: Popup.CloseOnEscape
    padding: Styles.margin

    background: Rectangle {
        color: Styles.colorBG
        radius: 6
    }

    contentItem: Column {
        spacing: Styles.spacing

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Multiple serial connections found\nSelect device to connect...")
            color: "white"
            font.family: Styles.fonts.family
            font.pixelSize: 14
            horizontalAlignment: Text.AlignHCenter
        }

        Repeater {
            id: portRepeater

            Button {
                id: portButton

                objectName: "portButton" + index
                anchors.horizontalCenter: parent.horizontalCenter
                width: Math.min(portPopup.widestButton, Math.max(150, nameMetrics.width + leftPadding + rightPadding))
                height: 30
                text: modelData
                font.family: Styles.fonts.family
                contentItem: Text {
                    text: portButton.text
                    font: portButton.font
                    color: portButton.palette.buttonText
                    elide: Text.ElideMiddle
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }

                TextMetrics {
                    id: nameMetrics

                    font: portButton.font
                    text: portButton.text
                }

                onClicked: {
                    portPopup.portChosen(modelData)
                    portPopup.close()
                }
            }
        }
    }
}
