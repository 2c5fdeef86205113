import QtQuick 2.5
import QtQuick.Controls 1.3
import QtQuick.Window 2.2
import QtQuick.Layouts 1.1
import cpp.qml.interface 1.0

// The program information: name, version, copyright and the licence text.
// Escape closes it, as does the Close button, which has the keyboard focus
// when the dialog opens.
// Part of the main window: reads the bridge `appIf`, the refresh trigger
// `translate` and the palette of the window.
Window {
    id: aboutDialog
    objectName: "aboutDialog"
    title: translate + qsTr("Program Information")
    width: 500
    height: 500
    modality: Qt.ApplicationModal
    flags: Qt.Dialog | Qt.WindowTitleHint | Qt.WindowSystemMenuHint | Qt.WindowCloseButtonHint
    color: systemPalette.window

    // The licence files are wrapped at about 75 characters. Their lines are
    // joined into paragraphs, so that the text wraps to the dialog; shorter
    // lines (titles, the last line of a paragraph) and empty ones keep their
    // line break.
    function reflow(text) {
        var lines = String(text).replace(/\r/g, "").split("\n")
        var result = ""
        for (var i = 0; i < lines.length; ++i) {
            result += lines[i]
            if (i + 1 === lines.length)
                break
            var joins = lines[i].trim().length >= 60 && lines[i + 1].trim() !== ""
            result += joins ? " " : "\n"
        }
        return result
    }

    onVisibleChanged: {
        if (visible)
            closeButton.forceActiveFocus()
    }

    Shortcut {
        sequence: StandardKey.Cancel
        onActivated: aboutDialog.close()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10

        Logo {
        }
        Text {
            objectName: "aboutName"
            color: systemPalette.windowText
            text: translate + appIf.getText(CppQmlIf.ApplName_ValId)
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Text {
            objectName: "aboutVersion"
            color: systemPalette.windowText
            text: translate + qsTr("Version: ") + " " + appIf.getText(CppQmlIf.ApplActVersion_ValId)
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Text {
            objectName: "aboutCopyright"
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            color: systemPalette.windowText
            text: translate + appIf.getText(CppQmlIf.ApplCopyright_ValId)
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Item {
            Layout.preferredHeight: 20
        }
        Label {
            id: licenceLabel
            text: translate + qsTr("Licence information:")
            Accessible.ignored: true
        }
        TextArea {
            objectName: "licenceTxt"
            Layout.fillWidth: true
            Layout.fillHeight: true
            readOnly: true
            wrapMode: TextEdit.WordWrap
            text: translate + aboutDialog.reflow(appIf.getText(CppQmlIf.ApplLicence_ValId))
            Accessible.name: licenceLabel.text.replace(/:\s*$/, "")
        }
        PushButton {
            id: closeButton
            objectName: "aboutCloseButton"
            Layout.alignment: Qt.AlignRight
            text: translate + qsTr("Close")
            onClicked: aboutDialog.close()
        }
    }
}
