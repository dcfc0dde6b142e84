.pragma library

// The status line of the device link, as the loader and the editor show it.
// The editor also names an idle link with a device present and the
// disconnecting state, which the loader leaves out.

function text(connectRequested, linkState, version, portCount, editor) {
    if (!connectRequested && portCount === 0)
        return qsTr("Status: No devices detected")
    switch (linkState) {
    case 0:
        if (connectRequested)
            return qsTr("Status: Attempting to connect")
        return editor ? qsTr("Status: Device Detected") : qsTr("Status: Not connected")
    case 1:
        return qsTr("Status: Port Open")
    case 2:
        return qsTr("Status: Connected, ") + version
    case 3:
        return qsTr("Status: Getting Sync")
    case 4:
        return qsTr("Status: Syncing")
    case 5:
        return qsTr("Status: No Reply")
    case 6:
        return editor ? qsTr("Status: Disconnecting") : ""
    default:
        return ""
    }
}

// Green when connected, red when there is no device or it does not answer,
// orange for a device ready to connect and every state on the way.
function colour(connectRequested, linkState, portCount) {
    if (linkState === 2)
        return "#39b54a"
    if (linkState === 5 || (!connectRequested && portCount === 0))
        return "red"
    return "orange"
}

// What the error dialog says for an error of the device link; nothing for a
// code it does not know.
function errorText(whichError) {
    switch (whichError) {
    case 1:
        return qsTr("Device already in use.\nClose all other apps connected to your Orvel device.")
    case 2:
        return qsTr("Device connection failure.\nEnsure your cable is securely fitted.")
    case 3:
        return qsTr("Timeout occured. Please try again.")
    default:
        return ""
    }
}
