import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Dialogs 1.3
import QtQuick.Layouts 1.15
import Orvel 1.0
import OrvelGUI 1.0
import "OrvelGUI/private"
import "OrvelGUI/private/LinkStatus.js" as LinkStatus

// The editor: every setting of the processor, live. Tabs for the faders and
// the Low, Mid and High panels, the link's status, and connect, save and
// recall. The main area keeps an aspect between 1:2 and 3:4 and is laid out
// 1024 wide, scaled to the window.
Window {
    id: editorWindow

    readonly property SerialConnectionBackend serialBackend: _App.backendSerialConnection
    readonly property SavesDialogBackend savesBackend: _App.backendSavesDialog
    readonly property NetworkAccessBackend networkBackend: _App.backendNetwork
    readonly property real areaWidth: Math.min(width, 2 * height)
    readonly property real areaHeight: Math.min(height, width * 480 / 640)
    readonly property real areaScale: areaWidth / 1024
    // The processor's settings are read back after every connect; the screen
    // stays covered until the units hold them.
    readonly property bool readingBack: serialBackend.state === SerialConnectionBackend.GETTING_SYNC
                                        || serialBackend.state === SerialConnectionBackend.SYNCING
    property bool overlayOn: false
    property bool syncInProgress: false
    property bool readBackStarted: false
    property string resultText: ""
    // What the last read-back left the user to know (units that kept their
    // own values, a processor that stopped answering); unlike the result
    // line it outlasts the status changes that follow it.
    property string linkNote: ""
    property alias topBar: topBar
    property alias faderPanel: faderPanel
    property alias lowPanel: lowPanel
    property alias midPanel: midPanel
    property alias highPanel: highPanel
    property alias portPopup: portPopup
    property alias saveDialog: saveDialog
    property alias recallDialog: recallDialog
    property alias errorDialog: errorDialog
    property alias overlay: overlay

    function connectClicked() {
        const ports = serialBackend.portNames.length
        if (serialBackend.connect)
            serialBackend.disconnectFromUnit()
        else if (ports > 1)
            portPopup.open()
        else if (ports === 1)
            serialBackend.connectToUnit()
    }

    // A name typed without the extension still makes a configuration file.
    function withExtension(url) {
        const text = url.toString()
        return text.toLowerCase().endsWith(".cfg") ? text : text + ".cfg"
    }

    function linkStateChanged() {
        const state = serialBackend.state
        if (state === SerialConnectionBackend.GETTING_SYNC) {
            readBackStarted = true
            linkNote = ""
        } else if (state === SerialConnectionBackend.SYNCING) {
            syncInProgress = true
            savesBackend.syncDevice()
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

    // Only this screen's own requests come back here; a recall's result
    // says whether the processor holds it, or that none was connected.
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
    }

    width: 1280
    height: 720
    minimumWidth: 640
    minimumHeight: 480
    visible: true
    title: qsTr("Orvel GUI - ") + _App.versionAndRevisionString
    color: Styles.colorBG

    onHeightChanged: if (height > 0) _App.setWindowHScale(height / 720)
    onWidthChanged: if (width > 0) _App.setWindowWScale(width / 1280)

    Connections {
        target: editorWindow.serialBackend

        function onErrorEvent(whichError) {
            errorDialog.text = LinkStatus.errorText(whichError)
            if (errorDialog.text !== "")
                errorDialog.open()
        }
        function onStateChanged() { editorWindow.linkStateChanged() }
    }

    Connections {
        target: editorWindow.savesBackend

        function onOperationSuccessChanged() { editorWindow.operationFinished() }
    }

    Item {
        id: mainArea

        x: Math.round((editorWindow.width - editorWindow.areaWidth) / 2)
        y: Math.round((editorWindow.height - editorWindow.areaHeight) / 2)
        width: 1024
        height: editorWindow.areaHeight / editorWindow.areaScale
        scale: editorWindow.areaScale
        transformOrigin: Item.TopLeft
        enabled: !overlay.visible

        EditorTopBar {
            id: topBar

            objectName: "topBar"
            x: Styles.margin
            y: Styles.margin
            width: parent.width - 2 * Styles.margin
            height: 60
            statusText: LinkStatus.text(editorWindow.serialBackend.connect, editorWindow.serialBackend.state,
                                        editorWindow.serialBackend.version,
                                        editorWindow.serialBackend.portNames.length, true)
            statusColour: LinkStatus.colour(editorWindow.serialBackend.connect, editorWindow.serialBackend.state,
                                            editorWindow.serialBackend.portNames.length)
            resultText: editorWindow.resultText !== "" ? editorWindow.resultText : editorWindow.linkNote
            networkText: editorWindow.networkBackend.statusText
            remotePeersOn: editorWindow.networkBackend.remotePeersAllowed
            connected: editorWindow.serialBackend.connect
                       && editorWindow.serialBackend.state === SerialConnectionBackend.CONNECTED
            onStatusTextChanged: editorWindow.resultText = ""
            onConnectClicked: editorWindow.connectClicked()
            onSaveClicked: saveDialog.open()
            onRecallClicked: recallDialog.open()
            onNetworkSwitchClicked: editorWindow.networkBackend.setRemotePeersAllowed(on)
        }

        StackLayout {
            x: Styles.margin
            y: topBar.y + topBar.height + Styles.spacing
            width: parent.width - 2 * Styles.margin
            height: parent.height - y - Styles.margin
            currentIndex: topBar.currentIndex

            InOutFaderPanel { id: faderPanel; objectName: "faderPanel"; backend: _App.backendInOutFader }
            LowMidHighPanel { id: lowPanel; objectName: "lowPanel"; backend: _App.backendLow }
            LowMidHighPanel { id: midPanel; objectName: "midPanel"; backend: _App.backendMid }
            LowMidHighPanel { id: highPanel; objectName: "highPanel"; backend: _App.backendHigh }
        }
    }

    Rectangle {
        id: overlay

        objectName: "overlay"
        anchors.fill: parent
        color: "black"
        opacity: 0.5
        visible: editorWindow.overlayOn || editorWindow.readingBack
    }

    PortSelectionPopup {
        id: portPopup

        objectName: "portPopup"
        portNames: editorWindow.serialBackend.portNames
        onPortChosen: editorWindow.serialBackend.connectToNamedUnit(name)
    }

    ConfigFileDialog {
        id: saveDialog

        objectName: "saveDialog"
        title: qsTr("Select name for config save")
        selectExisting: false
        onAccepted: editorWindow.savesBackend.saveConfig(editorWindow.withExtension(fileUrl))
        onVisibleChanged: {
            editorWindow.savesBackend.setButtonSave(visible)
            editorWindow.overlayOn = visible
        }
    }

    ConfigFileDialog {
        id: recallDialog

        objectName: "recallDialog"
        title: qsTr("Select config file to restore")
        selectExisting: true
        onAccepted: editorWindow.savesBackend.recallConfig(fileUrl)
        onVisibleChanged: {
            editorWindow.savesBackend.setButtonRecall(visible)
            editorWindow.overlayOn = visible
        }
    }

    MessageDialog {
        id: errorDialog

        objectName: "errorDialog"
        title: qsTr("Orvel GUI")
        icon: StandardIcon.Warning
        standardButtons: StandardButton.Ok
    }
}
