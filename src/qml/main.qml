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
    readonly property EditHistoryBackend editHistory: _App.backendEditHistory
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
    // A recall the lost link cut short is said to have failed whether its
    // result or the lost link's status arrives first: after such a result
    // the status "No Reply" leaves it on show.
    property bool resultOutlastsLoss: false
    // Closing waits for the answer to "Save changes?": a save that succeeds,
    // or a discard, lets it go on.
    property bool closeAfterSave: false
    property bool closeConfirmed: false
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
    property alias unsavedDialog: unsavedDialog
    property alias overlay: overlay

    function connectClicked() {
        const ports = serialBackend.portNames.length
        if (serialBackend.state === SerialConnectionBackend.NO_REPLY)
            serialBackend.reconnectToUnit()
        else if (serialBackend.connect)
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

    function statusChanged() {
        if (resultOutlastsLoss && serialBackend.state === SerialConnectionBackend.NO_REPLY)
            return
        resultOutlastsLoss = false
        resultText = ""
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
            // The screen now shows what the processor holds.
            if (savesBackend.operationSuccess)
                editHistory.markReplaced()
            return
        }
        const saved = savesBackend.operation === SavesDialogBackend.SAVE
        if (saved && savesBackend.operationSuccess)
            editHistory.markSaved()
        // Loaded, also when no processor took it: the screen shows the file.
        else if (savesBackend.operation === SavesDialogBackend.RECALL
                 && savesBackend.outcome !== SavesDialogBackend.FAILED)
            editHistory.markReplaced()
        if (saved && closeAfterSave) {
            closeAfterSave = false
            if (savesBackend.operationSuccess) {
                closeConfirmed = true
                close()
            }
        }
        resultText = savesBackend.resultText
        resultOutlastsLoss = savesBackend.outcome === SavesDialogBackend.FAILED
    }

    // 1280 x 720, or what the screen has room for (its title bar included),
    // in the screen's own scale (with QT_SCALE_FACTOR=2 a 1600 x 1000 screen
    // has room for 800 x 500); never below the minimum.
    width: Math.max(minimumWidth, Math.min(1280, Screen.desktopAvailableWidth))
    height: Math.max(minimumHeight, Math.min(720, Screen.desktopAvailableHeight - 32))
    minimumWidth: 640
    minimumHeight: 480
    visible: true
    title: qsTr("Orvel GUI - ") + _App.versionAndRevisionString
    color: Styles.colorBG

    onVisibleChanged: if (visible) closeConfirmed = false
    onClosing: {
        if (closeConfirmed || !editHistory.unsavedChanges)
            return
        close.accepted = false
        unsavedDialog.open()
    }
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

    Shortcut {
        objectName: "undoShortcut"
        sequences: ["Ctrl+Z"]
        onActivated: editorWindow.editHistory.undo()
    }

    Shortcut {
        objectName: "redoShortcut"
        sequences: ["Ctrl+Shift+Z", "Ctrl+Y"]
        onActivated: editorWindow.editHistory.redo()
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
            onStatusTextChanged: editorWindow.statusChanged()
            onConnectClicked: editorWindow.connectClicked()
            onSaveClicked: saveDialog.openIn(editorWindow.savesBackend.dialogFolder)
            onRecallClicked: recallDialog.openIn(editorWindow.savesBackend.dialogFolder)
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

        // A press outside the control that has the keyboard's focus takes it
        // away (so an open value entry is applied) before the press goes on
        // to whatever lies under it.
        MouseArea {
            id: focusCatcher

            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onPressed: {
                const focused = editorWindow.activeFocusItem
                if (focused !== null && focused !== focusCatcher
                        && !focused.contains(focused.mapFromItem(focusCatcher, mouse.x, mouse.y)))
                    focusCatcher.forceActiveFocus()
                mouse.accepted = false
            }
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
        onRejected: editorWindow.closeAfterSave = false
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

    MessageDialog {
        id: unsavedDialog

        objectName: "unsavedDialog"
        title: qsTr("Orvel GUI")
        text: qsTr("Save changes?")
        informativeText: qsTr("The settings have changed since they were last saved, recalled or read from the processor.")
        icon: StandardIcon.Question
        standardButtons: StandardButton.Save | StandardButton.Discard | StandardButton.Cancel
        onAccepted: {
            editorWindow.closeAfterSave = true
            saveDialog.openIn(editorWindow.savesBackend.dialogFolder)
        }
        onDiscard: {
            editorWindow.closeConfirmed = true
            editorWindow.close()
        }
    }
}
