import QtQuick 2.5
import QtQuick.Controls 1.3
import QtQuick.Window 2.2
import QtQuick.Layouts 1.1
import cpp.qml.interface 1.0

// A document (a report, the manual) that no program opened: what went
// wrong, the file's path to select and copy, and a button that opens the
// file's folder. Escape closes it.
// Part of the main window: reads the bridge `appIf`, the refresh trigger
// `translate` and the palette of the window.
Window {
    id: dialog
    objectName: "fileProblemDialog"
    title: translate + qsTr("Error Message")
    width: 560
    height: Math.max(200, content.implicitHeight + 20)
    modality: Qt.ApplicationModal
    flags: Qt.Dialog | Qt.WindowTitleHint | Qt.WindowSystemMenuHint | Qt.WindowCloseButtonHint
    color: systemPalette.window

    property string problem
    property string path

    function showFile(_problem, _path) {
        problem = _problem
        path = _path
        show()
        raise()
        requestActivate()
        closeButton.forceActiveFocus()
    }

    Shortcut {
        sequence: StandardKey.Cancel
        onActivated: dialog.close()
    }

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.margins: 10

        Text {
            objectName: "fileProblemText"
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            color: systemPalette.windowText
            text: dialog.problem
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        // Whole and selectable, so that the path can be copied into a file
        // manager.
        TextEdit {
            id: pathField
            objectName: "fileProblemPath"
            Layout.fillWidth: true
            readOnly: true
            selectByMouse: true
            selectByKeyboard: true
            activeFocusOnTab: true
            wrapMode: TextEdit.WrapAnywhere
            color: systemPalette.windowText
            selectionColor: systemPalette.highlight
            selectedTextColor: systemPalette.highlightedText
            text: dialog.path
            Accessible.name: translate + qsTr("File")
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            PushButton {
                objectName: "openFolderButton"
                text: translate + qsTr("Open Folder")
                tooltip: translate + qsTr("Show the folder that holds the file.")
                onClicked: appIf.qmlAction(CppQmlIf.OpenFolder_QmlAction)
            }
            PushButton {
                id: closeButton
                objectName: "fileProblemCloseButton"
                text: translate + qsTr("Close")
                onClicked: dialog.close()
            }
        }
    }
}
