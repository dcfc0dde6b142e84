import QtQuick 2.15
import QtQuick.Controls 2.15
import OrvelGUI 1.0

// Asks which of several device ports to connect to.
Popup {
    id: portPopup

    property alias portNames: portRepeater.model

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
                objectName: "portButton" + index
                anchors.horizontalCenter: parent.horizontalCenter
                width: 150
                height: 30
                text: modelData
                font.family: Styles.fonts.family
                onClicked: {
                    portPopup.portChosen(modelData)
                    portPopup.close()
                }
            }
        }
    }
}
