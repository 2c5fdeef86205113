import QtQuick 2.4
import QtQuick.Controls 1.3
import QtQuick.Layouts 1.1
import cpp.qml.interface 1.0

// The tool itself: its version (with a pending newer one), the program
// information and the tool's own update.
// Part of the main window: reads the bridge `appIf` and the refresh trigger
// `translate` of the window.
GroupBox {
    id: toolBox
    objectName: "toolBox"

    // The info button was clicked: the window shows its program information.
    signal infoRequested()

    // What the bridge's applDataRepaint asks to read again.
    function repaint() {
        applUpdateButton.enabled = appIf.boGetVal(CppQmlIf.ApplUpdateButton_ValId)
        applUpdateButton.state = mainWindow.highlightState(CppQmlIf.HighlightApplication)
        applVersionTxt.value = Qt.binding(function() {
            return translate + appIf.getText(CppQmlIf.ApplVersion_ValId)
        })
    }

    implicitWidth: 0 // see HelpBox.qml
    title: translate + qsTr("Tool")

    RowLayout {
        anchors.fill: parent

        GridLayout {
            columns: 2
            Label {
                id: applVersionLabel
                text: translate + qsTr("Version:")
                Accessible.ignored: true
            }
            ValueText {
                id: applVersionTxt
                objectName: "applVersionTxt"
                label: applVersionLabel.text
                value: translate + appIf.getText(CppQmlIf.ApplVersion_ValId)
            }
            RowLayout {
                Layout.columnSpan: 2
                PushButton {
                    id: infoButton
                    objectName: "infoButton"
                    text: translate + qsTr("Info...")
                    tooltip: translate + qsTr("Show program information")
                    onClicked: toolBox.infoRequested()
                }
                HighlightedButton {
                    id: applUpdateButton
                    objectName: "applUpdateButton"
                    buttonWidth: 130
                    text: translate + qsTr("Update Tool")
                    tooltip: translate + qsTr("Install the new program version")
                    enabled: appIf.boGetVal(CppQmlIf.ApplUpdateButton_ValId)
                    state: mainWindow.highlightState(CppQmlIf.HighlightApplication)
                    onClicked: appIf.qmlAction(CppQmlIf.DoToolUpdate_QmlAction)
                }
            }
        }
        Item {
            Layout.fillWidth: true
        }
        Logo {
            Layout.alignment: Qt.AlignRight | Qt.AlignVCenter
        }
    }
}
