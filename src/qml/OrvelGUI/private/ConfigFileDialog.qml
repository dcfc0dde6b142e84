import QtQuick 2.15
import QtQuick.Dialogs 1.3

// Picks a configuration file, starting in the user's documents folder.
FileDialog {
    selectMultiple: false
    nameFilters: [qsTr("Configuration files (*.cfg)")]
    folder: shortcuts.documents
}
