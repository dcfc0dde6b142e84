import QtQuick 2.15
import QtQuick.Controls 2.15
import "../"
import "Legible.js" as Legible

// The editor's top bar: the tabs, the link's status with the object
// network's and the result of the last save or recall below it, and the
// connect, save and recall buttons.
Item {
    id: topBar

    property alias currentIndex: tabBar.currentIndex
    property string statusText: ""
    property color statusColour: "orange"
    property string resultText: ""
    property string networkText: ""
    property bool remotePeersOn: false
    property bool connected: false
    property alias tabBar: tabBar
    property alias statusLabel: statusLabel
    property alias resultLabel: resultLabel
    property alias networkControl: networkControl
    property alias connectButton: connectButton
    property alias saveButton: saveButton
    property alias recallButton: recallButton

    signal connectClicked()
    signal saveClicked()
    signal recallClicked()
    signal networkSwitchClicked(bool on)

    TabBar {
        id: tabBar

        objectName: "tabBar"
        width: 600
        height: 60
        contentHeight: 60
        spacing: 4
        background: Rectangle { color: "transparent" }

        Repeater {
            model: [qsTr("Faders"), qsTr("Low"), qsTr("Mid"), qsTr("High")]

            TabButton {
                id: tab

                objectName: "tab" + modelData
                height: tabBar.height
                padding: 0
                topInset: 0
                bottomInset: 0
                text: modelData
                font.family: Styles.fonts.family
                font.bold: true
                font.pointSize: Styles.fonts.ptsizeBigger

                contentItem: Text {
                    text: tab.text
                    font: tab.font
                    color: tab.checked ? Styles.fonts.colorTabSelected : "#9a9a9a"
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }

                background: Rectangle {
                    radius: Styles.radius
                    color: tab.checked ? Styles.colorHighlight : Styles.colorFG
                    border.color: tab.checked ? Styles.colorHighlight2 : "#3a3a3a"
                    border.width: tab.checked ? 2 : 1

                    FocusFrame { control: tab }
                }
            }
        }
    }

    Column {
        anchors.left: tabBar.right
        anchors.leftMargin: Styles.spacing
        anchors.right: buttons.left
        anchors.rightMargin: Styles.spacing
        anchors.verticalCenter: parent.verticalCenter
        spacing: 2

        Text {
            id: statusLabel

            objectName: "statusLabel"
            width: parent.width
            text: topBar.statusText
            color: topBar.statusColour
            font.family: Styles.fonts.family
            font.bold: true
            font.pixelSize: Legible.pixels(14, statusLabel)
            horizontalAlignment: Text.AlignRight
            elide: Text.ElideRight
        }

        NetworkControl {
            id: networkControl

            objectName: "networkControl"
            anchors.right: parent.right
            statusText: topBar.networkText
            remoteOn: topBar.remotePeersOn
            onSwitchClicked: topBar.networkSwitchClicked(on)
        }

        Text {
            id: resultLabel

            objectName: "resultLabel"
            width: parent.width
            visible: text !== ""
            text: topBar.resultText
            color: Styles.fonts.colorText
            font.family: Styles.fonts.family
            font.pixelSize: Legible.pixels(10, resultLabel)
            horizontalAlignment: Text.AlignRight
            elide: Text.ElideLeft
        }
    }

    Row {
        id: buttons

        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        spacing: Styles.spacing

        ImageButton {
            id: connectButton

            objectName: "connectButton"
            height: 42
            width: height * 64 / 56
            source: topBar.connected ? "qrc:/Connected.svg" : "qrc:/Connect.svg"
            onClicked: topBar.connectClicked()
        }

        ImageButton {
            id: saveButton

            objectName: "saveButton"
            height: 42
            width: height * 64 / 56
            source: "qrc:/SaveConfig.svg"
            onClicked: topBar.saveClicked()
        }

        ImageButton {
            id: recallButton

            objectName: "recallButton"
            height: 42
            width: height * 64 / 56
            source: "qrc:/LoadConfig.svg"
            onClicked: topBar.recallClicked()
        }
    }
}
