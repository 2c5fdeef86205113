import QtQuick 2.4
import QtQuick.Controls 1.3
import QtQuick.Window 2.2
import QtQuick.Layouts 1.1
import cpp.qml.interface 1.0

// The program information: name, version, copyright and the licence text.
// Part of the main window: reads the bridge `appIf` and the refresh trigger
// `translate` of the window.
Window {
    id: aboutDialog
    objectName: "aboutDialog"
    title: translate + qsTr("Program Information")
    width: 500
    height: 500
    modality: Qt.ApplicationModal
    flags: Qt.Dialog | Qt.WindowTitleHint | Qt.WindowSystemMenuHint | Qt.WindowCloseButtonHint

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10

        Image {
            source: "qrc:/pic/TarnLogo.png"
        }
        Text {
            text: translate + appIf.getText(CppQmlIf.ApplName_ValId)
        }
        Text {
            text: translate + qsTr("Version: ") + " " + appIf.getText(CppQmlIf.ApplActVersion_ValId)
        }
        Text {
            text: translate + appIf.getText(CppQmlIf.ApplCopyright_ValId)
        }
        Item {
            Layout.preferredHeight: 20
        }
        Label {
            text: translate + qsTr("Licence information:")
        }
        TextArea {
            objectName: "licenceTxt"
            Layout.fillWidth: true
            Layout.fillHeight: true
            readOnly: true
            wrapMode: TextEdit.WordWrap
            text: translate + appIf.getText(CppQmlIf.ApplLicence_ValId)
        }
        Button {
            Layout.alignment: Qt.AlignRight
            text: translate + qsTr("Close")
            onClicked: aboutDialog.close()
        }
    }
}
