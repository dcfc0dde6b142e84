import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Dialogs 1.3
import Orvel 1.0
import OrvelGUI 1.0
import "OrvelGUI/private"
import "OrvelGUI/private/LinkStatus.js" as LinkStatus

// The loader: connect to the processor, recall a configuration file into it,
// and show the state of the link and the result of the recall.
Window {
    id: loaderWindow

    readonly property SerialConnectionBackend serialBackend: _App.backendSerialConnection
    readonly property SavesDialogBackend savesBackend: _App.backendSavesDialog
    readonly property bool linkConnected: serialBackend.connect
                                          && serialBackend.state === SerialConnectionBackend.CONNECTED
    // The processor's settings are read back after every connect; the screen
    // stays covered until the units hold them.
    readonly property bool readingBack: serialBackend.state === SerialConnectionBackend.GETTING_SYNC
                                        || serialBackend.state === SerialConnectionBackend.SYNCING
    property bool overlayOn: false
    property bool syncInProgress: false
    property bool readBackStarted: false
    property string resultText: ""
    // A recall the lost link cut short is said to have failed whether its
    // result or the lost link's status arrives first: after such a result
    // the status "No Reply" leaves it on show.
    property bool resultOutlastsLoss: false
    // What the last read-back left the user to know (units that kept their
    // own values, a processor that stopped answering); unlike the result
    // line it outlasts the status changes that follow it.
    property string linkNote: ""
    property alias connectButton: connectButton
    property alias recallButton: recallButton
    property alias portPopup: portPopup
    property alias recallDialog: recallDialog
    property alias errorDialog: errorDialog
    property alias messageBox: messageBox
    property alias logoBox: logoBox
    property alias logo: logo
    property alias overlay: overlay

    function showError(whichError) {
        const text = LinkStatus.errorText(whichError)
        if (text === "")
            return
        errorDialog.text = text
        errorDialog.open()
    }

    function connectClicked() {
        if (serialBackend.state === SerialConnectionBackend.NO_REPLY)
            serialBackend.reconnectToUnit()
        else if (serialBackend.connect)
            serialBackend.disconnectFromUnit()
        else if (serialBackend.portNames.length === 1)
            serialBackend.connectToUnit()
        else if (serialBackend.portNames.length > 1)
            portPopup.open()
    }

    function startSync() {
        syncInProgress = true
        savesBackend.syncDevice()
    }

    function linkStateChanged() {
        const state = serialBackend.state
        if (state === SerialConnectionBackend.GETTING_SYNC) {
            readBackStarted = true
            linkNote = ""
        } else if (state === SerialConnectionBackend.SYNCING) {
            startSync()
        } else if (state === SerialConnectionBackend.NO_REPLY && readBackStarted) {
            readBackStarted = false
            syncInProgress = false
            linkNote = qsTr("Read-back not finished: nothing of the processor's settings adopted")
        } else {
            readBackStarted = false
            if (state !== SerialConnectionBackend.CONNECTED)
                linkNote = ""
        }
    }

    function statusChanged() {
        if (resultOutlastsLoss && serialBackend.state === SerialConnectionBackend.NO_REPLY)
            return
        resultOutlastsLoss = false
        resultText = ""
    }

    // The device's settings are taken over once the saves manager has
    // synchronised every unit; the link then returns to connected. The
    // backend only hears the results of this screen's own requests, and a
    // recall's result says whether the processor holds it.
    function operationFinished() {
        if (savesBackend.operation === SavesDialogBackend.SYNC) {
            if (!syncInProgress)
                return
            syncInProgress = false
            linkNote = savesBackend.outcome === SavesDialogBackend.SUCCESSFUL ? "" : savesBackend.resultText
            serialBackend.setSyncDone()
            return
        }
        resultText = savesBackend.resultText
        resultOutlastsLoss = savesBackend.outcome === SavesDialogBackend.FAILED
    }

    // 420 x 300 and no other size: the limits hold on every platform, also
    // where the window system would not enforce them.
    width: 420
    height: 300
    minimumWidth: 420
    minimumHeight: 300
    maximumWidth: 420
    maximumHeight: 300
    visible: true
    title: qsTr("Orvel Loader - ") + _App.versionAndRevisionString
    color: Styles.colorBG

    onHeightChanged: if (height > 0) _App.setWindowHScale(height / 300)
    onWidthChanged: if (width > 0) _App.setWindowWScale(width / 420)

    Connections {
        target: loaderWindow.serialBackend

        function onErrorEvent(whichError) { loaderWindow.showError(whichError) }
        function onStateChanged() { loaderWindow.linkStateChanged() }
    }

    Connections {
        target: loaderWindow.savesBackend

        function onOperationSuccessChanged() { loaderWindow.operationFinished() }
    }

    Rectangle {
        id: mainArea

        anchors.fill: parent
        color: Styles.colorBG
        enabled: !overlay.visible

        Column {
            anchors.fill: parent
            anchors.margins: Styles.margin
            spacing: 10

            Item {
                id: toolBar

                width: parent.width
                height: 45

                Row {
                    anchors.centerIn: parent
                    spacing: 20

                    ImageButton {
                        id: connectButton

                        objectName: "connectButton"
                        height: 40
                        width: height * 64 / 56
                        source: loaderWindow.linkConnected ? "qrc:/Connected.svg" : "qrc:/Connect.svg"
                        onClicked: loaderWindow.connectClicked()
                    }

                    ImageButton {
                        id: recallButton

                        objectName: "recallButton"
                        height: 40
                        width: height * 64 / 56
                        source: "qrc:/LoadConfig.svg"
                        // A recall goes to the processor: only while one is connected.
                        enabled: loaderWindow.linkConnected
                        onClicked: recallDialog.openIn(loaderWindow.savesBackend.dialogFolder)
                    }
                }
            }

            LoaderMessageBox {
                id: messageBox

                objectName: "messageBox"
                width: parent.width
                height: 50
                connectRequested: loaderWindow.serialBackend.connect
                linkState: loaderWindow.serialBackend.state
                version: loaderWindow.serialBackend.version
                portCount: loaderWindow.serialBackend.portNames.length
                resultText: loaderWindow.resultText !== "" ? loaderWindow.resultText : loaderWindow.linkNote
                onStatusTextChanged: loaderWindow.statusChanged()
            }

            Rectangle {
                id: logoBox

                objectName: "logoBox"
                width: parent.width
                height: loaderWindow.height - (45 + 50 + 2 * Styles.spacing + 2 * Styles.margin)
                radius: Styles.radius
                color: Styles.colorFG

                Image {
                    id: logo

                    objectName: "logo"
                    anchors.centerIn: parent
                    width: Math.min(256, parent.width)
                    height: Math.min(256, parent.height)
                    source: "qrc:/OrvelLogo.png"
                    fillMode: Image.PreserveAspectFit
                    smooth: true
                    mipmap: true
                }
            }
        }
    }

    Rectangle {
        id: overlay

        objectName: "overlay"
        anchors.fill: mainArea
        color: "black"
        opacity: 0.5
        visible: loaderWindow.overlayOn || loaderWindow.readingBack
    }

    PortSelectionPopup {
        id: portPopup

        objectName: "portPopup"
        portNames: loaderWindow.serialBackend.portNames
        onPortChosen: loaderWindow.serialBackend.connectToNamedUnit(name)
    }

    ConfigFileDialog {
        id: recallDialog

        objectName: "recallDialog"
        title: qsTr("Select config file to restore")
        selectExisting: true
        onAccepted: loaderWindow.savesBackend.recallConfig(fileUrl)
        onVisibleChanged: {
            loaderWindow.savesBackend.setButtonRecall(visible)
            loaderWindow.overlayOn = visible
        }
    }

    MessageDialog {
        id: errorDialog

        objectName: "errorDialog"
        title: qsTr("Orvel Loader")
        icon: StandardIcon.Warning
        standardButtons: StandardButton.Ok
    }
}
