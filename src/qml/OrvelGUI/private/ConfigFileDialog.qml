import QtQuick 2.15
import QtQuick.Dialogs 1.3

// Picks a configuration file. Opened with openIn(folder), in a folder that
// exists (the saves backend's dialogFolder).
FileDialog {
    id: fileDialog

    function openIn(startFolder) {
        // The widget dialog may start where it was made and pass over a
        // folder given before it opens; given again once open, it goes there.
        folder = startFolder
        open()
        folder = startFolder
    }

    selectMultiple: false
    nameFilters: [qsTr("Configuration files (*.cfg)")]
}
