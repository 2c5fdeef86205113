import QtQuick 2.4
import QtQuick.Controls 1.3
import QtQuick.Layouts 1.1
import cpp.qml.interface 1.0

// The firmware files: the selection of every file with an update, the update
// server's status, the file list and the download of the selected files.
// Part of the main window: reads the bridge `appIf`, the refresh trigger
// `translate`, `fontpointSize` and `progressColumnWidth` of the window.
GroupBox {
    id: filesBox
    objectName: "filesBox"

    // What the bridge's firmwareDataRepaint asks to read again.
    function repaint() {
        fileUpdateButton.enabled = appIf.boGetVal(CppQmlIf.FileUpdateButton_ValId)
        fileUpdateButton.state = mainWindow.highlightState(CppQmlIf.HighlightFileDownload)
        commonFileSelector.checkedState = appIf.iGetVal(CppQmlIf.FirmwareSelectState_ValId)
        readServerText()
    }

    // The server text is built by the bridge in the current language.
    function readServerText() {
        serverErrorTxt.text = appIf.getText(CppQmlIf.ServerErrorTxt_ValId)
    }

    implicitWidth: 0 // see HelpBox.qml
    title: translate + qsTr("Files")

    ColumnLayout {
        anchors.fill: parent

        RowLayout {
            Layout.fillWidth: true
            CheckBox {
                id: commonFileSelector
                objectName: "commonFileSelector"
                text: translate + qsTr("All Files")
                partiallyCheckedEnabled: true
                checkedState: appIf.iGetVal(CppQmlIf.FirmwareSelectState_ValId)
                onClicked: {
                    if (appIf.SysState() !== CppQmlIf.SysStateUpdateDownload)
                        appIf.qmlAction(CppQmlIf.CommonFileSelector_QmlAction)
                    checkedState = appIf.iGetVal(CppQmlIf.FirmwareSelectState_ValId)
                }
            }
            Item {
                Layout.fillWidth: true
            }
            Text {
                id: serverErrorTxt
                objectName: "serverErrorTxt"
                font.pointSize: fontpointSize
                text: appIf.getText(CppQmlIf.ServerErrorTxt_ValId)
            }
        }

        TableView {
            id: fileTable
            objectName: "fileTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: appIf.firmwareUpdateFileModel
            selectionMode: SelectionMode.NoSelection
            rowDelegate: Rectangle {
                height: 35
                color: styleData.alternate ? "#f6f6f6" : "white"
            }

            TableViewColumn {
                role: "imgSource"
                width: 26
                movable: false
                resizable: false
                delegate: Item {
                    objectName: "fileSelectCell"
                    property int row: styleData.row
                    Image {
                        objectName: "fileSelectImage"
                        anchors.centerIn: parent
                        source: styleData.value !== undefined ? styleData.value : ""
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            if (appIf.SysState() === CppQmlIf.SysStateUpdateDownload)
                                return
                            var entry = fileTable.model.get(styleData.row)
                            if (entry.hasUpdate)
                                fileTable.model.setSelectable(styleData.row, !entry.selected)
                        }
                    }
                }
            }
            TableViewColumn {
                role: "name"
                title: translate + qsTr("Device")
                width: 190
                movable: false
                resizable: false
                delegate: TextCell {}
            }
            TableViewColumn {
                role: "version"
                title: translate + qsTr("Version")
                width: 125
                movable: false
                resizable: false
                delegate: RichTextCell {}
            }
            TableViewColumn {
                role: "progress"
                title: translate + qsTr("Progress")
                width: progressColumnWidth
                movable: false
                resizable: false
                delegate: ProgressCell {}
            }
            TableViewColumn {
                role: "done"
                width: 26
                movable: false
                resizable: false
                delegate: PictureCell {}
            }
        }

        RowLayout {
            HighlightedButton {
                id: fileUpdateButton
                objectName: "fileUpdateButton"
                buttonWidth: 130
                text: translate + qsTr("Download")
                tooltip: translate + qsTr("Download new device firmware versions.")
                enabled: appIf.boGetVal(CppQmlIf.FileUpdateButton_ValId)
                state: mainWindow.highlightState(CppQmlIf.HighlightFileDownload)
                onClicked: appIf.qmlAction(CppQmlIf.StartFileDownload_QmlAction)
            }
        }
    }
}
