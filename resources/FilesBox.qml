import QtQuick 2.4
import QtQuick.Controls 1.3
import QtQuick.Layouts 1.1
import cpp.qml.interface 1.0

// The firmware files: the selection of every file with an update, the update
// server's status, the file list and the download of the selected files.
// In the list, Space selects or deselects the current row; the arrow keys
// move between rows.
// Part of the main window: reads the bridge `appIf`, the refresh trigger
// `translate`, `fontpointSize`, its palette and plainText().
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

    // The box's height when the file list shows that many rows.
    function heightForRows(rows) {
        return implicitHeight - fileTable.implicitHeight + fileTable.heightForRows(rows)
    }

    // The server text is built by the bridge in the current language.
    function readServerText() {
        serverErrorTxt.text = appIf.getText(CppQmlIf.ServerErrorTxt_ValId)
    }

    // Selects or deselects a row for the download, if it has an update and
    // no download runs.
    function toggleRow(row) {
        if (row < 0 || appIf.SysState() === CppQmlIf.SysStateUpdateDownload)
            return
        var entry = fileTable.model.get(row)
        if (entry.hasUpdate)
            fileTable.model.setSelectable(row, !entry.selected)
    }

    // The "All Files" box, clicked or toggled by a screen reader.
    function toggleAll() {
        if (appIf.SysState() !== CppQmlIf.SysStateUpdateDownload)
            appIf.qmlAction(CppQmlIf.CommonFileSelector_QmlAction)
        commonFileSelector.checkedState = appIf.iGetVal(CppQmlIf.FirmwareSelectState_ValId)
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
                onClicked: filesBox.toggleAll()
                Accessible.onToggleAction: filesBox.toggleAll()
                Accessible.onPressAction: filesBox.toggleAll()
            }
            Item {
                Layout.fillWidth: true
            }
            Text {
                id: serverErrorTxt
                objectName: "serverErrorTxt"
                Layout.maximumWidth: filesBox.width / 2
                font.pointSize: fontpointSize
                color: systemPalette.text
                horizontalAlignment: Text.AlignRight
                wrapMode: Text.WordWrap
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                text: appIf.getText(CppQmlIf.ServerErrorTxt_ValId)
            }
        }

        ListTable {
            id: fileTable
            objectName: "fileTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: appIf.firmwareUpdateFileModel
            Accessible.name: translate + qsTr("Firmware files")
            accessibleTitles: ({0: translate + qsTr("Selected"), 4: translate + qsTr("Result")})
            Keys.onSpacePressed: filesBox.toggleRow(currentRow)

            TableViewColumn {
                role: "imgSource"
                width: 26
                movable: false
                resizable: false
                delegate: Item {
                    id: selectCell
                    objectName: "fileSelectCell"
                    property int row: styleData.row

                    Image {
                        objectName: "fileSelectImage"
                        anchors.centerIn: parent
                        width: 20
                        height: 20
                        sourceSize.width: 20
                        sourceSize.height: 20
                        source: styleData.value !== undefined ? styleData.value : ""
                        // A check box to a screen reader, which can also toggle it.
                        Accessible.role: Accessible.CheckBox
                        Accessible.name: translate + qsTr("Select for download")
                        Accessible.checkable: model ? model.hasUpdate : false
                        Accessible.checked: model ? model.hasUpdate && model.selected : false
                        Accessible.description: model ? plainText(model.name) : ""
                        Accessible.onPressAction: filesBox.toggleRow(selectCell.row)
                        Accessible.onToggleAction: filesBox.toggleRow(selectCell.row)
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            fileTable.currentRow = selectCell.row
                            filesBox.toggleRow(selectCell.row)
                        }
                    }
                }
            }
            TableViewColumn {
                id: nameColumn
                role: "name"
                title: translate + qsTr("Device")
                // The rest of the width: the table never scrolls sideways.
                width: fileTable.stretchWidth(150, title, 26 + versionColumn.width + progressColumn.width + 26)
                movable: false
                resizable: false
                delegate: TextCell {}
            }
            TableViewColumn {
                id: versionColumn
                role: "version"
                title: translate + qsTr("Version")
                width: fileTable.columnWidth(125, title)
                movable: false
                resizable: false
                delegate: RichTextCell {}
            }
            TableViewColumn {
                id: progressColumn
                role: "progress"
                title: translate + qsTr("Progress")
                width: fileTable.columnWidth(65, title)
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
