import QtQuick 2.4
import QtQuick.Controls 1.3
import QtQuick.Layouts 1.1
import cpp.qml.interface 1.0

// The devices of the network: their count, the device list, the device
// update run with its combined progress and remaining time, and the report
// of the latest run.
// Part of the main window: reads the bridge `appIf`, the refresh trigger
// `translate`, `fontpointSize` and the palette of the window.
GroupBox {
    id: deviceBox
    objectName: "deviceBox"

    // What the bridge's deviceDataRepaint asks to read again.
    function repaint() {
        flashButton.enabled = appIf.boGetVal(CppQmlIf.DeviceUpdateButton_ValId)
        flashButton.state = mainWindow.highlightState(CppQmlIf.HighlightDeviceUpdate)
        flashAbortButton.enabled = appIf.boGetVal(CppQmlIf.DeviceAbortButton_ValId)
        combinedProgress.visible = appIf.boGetVal(CppQmlIf.DeviceCombinedProgressVisible_ValId)
        reportButton.enabled = appIf.boGetVal(CppQmlIf.ReportButton_ValId)
        readDeviceCount()
    }

    // The count text is built by the device list in the current language.
    function readDeviceCount() {
        deviceCountTxt.text = appIf.getText(CppQmlIf.DeviceCountTxt_ValId)
    }

    implicitWidth: 0 // see HelpBox.qml
    title: translate + qsTr("Devices")

    // Reads the device run's figures while it lasts; the run may end without
    // the cancel button (all devices done), so the timer watches the state.
    Timer {
        id: deviceProgressTimer
        objectName: "deviceProgressTimer"
        interval: 250
        repeat: true
        running: false
        onTriggered: {
            combinedProgress.value = appIf.iGetVal(CppQmlIf.DeviceCombinedProgressPercent_ValId)
            combinedProgress.text = appIf.getText(CppQmlIf.DeviceCombinedProgressText_ValId)
            deviceBox.readDeviceCount()
            if (appIf.SysState() !== CppQmlIf.SysStateDeviceUpdate)
                stop()
        }
    }

    ColumnLayout {
        anchors.fill: parent

        Text {
            id: deviceCountTxt
            objectName: "deviceCountTxt"
            Layout.alignment: Qt.AlignRight
            font.pointSize: fontpointSize
            color: systemPalette.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            text: appIf.getText(CppQmlIf.DeviceCountTxt_ValId)
        }

        ListTable {
            id: deviceTable
            objectName: "deviceTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: appIf.zigBeeDeviceModel
            Accessible.name: translate + qsTr("Devices")
            accessibleTitles: ({4: translate + qsTr("Result")})

            TableViewColumn {
                id: typeColumn
                role: "devType"
                title: translate + qsTr("Type")
                // The rest of the width: the table never scrolls sideways.
                width: deviceTable.stretchWidth(150, title,
                                                addressColumn.width + versionColumn.width + progressColumn.width + 26)
                movable: false
                resizable: false
                delegate: TextCell {}
            }
            TableViewColumn {
                id: addressColumn
                role: "name"
                title: translate + qsTr("Address")
                width: deviceTable.columnWidth(60, title)
                movable: false
                resizable: false
                // The short address changes when a device joins anew; the
                // extended one stays.
                delegate: TextCell {
                    tooltip: model && model.extAddress ? model.extAddress : ""
                }
            }
            TableViewColumn {
                id: versionColumn
                role: "version"
                title: translate + qsTr("Version")
                width: deviceTable.columnWidth(125, title)
                movable: false
                resizable: false
                delegate: RichTextCell {}
            }
            TableViewColumn {
                id: progressColumn
                role: "progress"
                title: translate + qsTr("Progress")
                width: deviceTable.columnWidth(65, title)
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
            Layout.fillWidth: true
            HighlightedButton {
                id: flashButton
                objectName: "flashButton"
                buttonWidth: 130
                text: translate + qsTr("Update Devices")
                tooltip: translate + qsTr("Update devices with new firmware.")
                enabled: appIf.boGetVal(CppQmlIf.DeviceUpdateButton_ValId)
                state: mainWindow.highlightState(CppQmlIf.HighlightDeviceUpdate)
                onClicked: {
                    appIf.qmlAction(CppQmlIf.StartDeviceUpdate_QmlAction)
                    deviceProgressTimer.start()
                }
            }
            PushButton {
                id: flashAbortButton
                objectName: "flashAbortButton"
                text: translate + qsTr("Cancel")
                tooltip: translate + qsTr("Cancel the running update or download.")
                enabled: appIf.boGetVal(CppQmlIf.DeviceAbortButton_ValId)
                onClicked: {
                    appIf.qmlAction(CppQmlIf.AbortDeviceUpdate_QmlAction)
                    deviceProgressTimer.stop()
                }
            }
            Item {
                Layout.fillWidth: true
            }
            // The record of the latest device update or stick update, to
            // print or hand over; during a device run, the run so far.
            PushButton {
                id: reportButton
                objectName: "reportButton"
                text: translate + qsTr("Report…")
                tooltip: translate + qsTr("Open the report of the latest update.")
                enabled: appIf.boGetVal(CppQmlIf.ReportButton_ValId)
                onClicked: appIf.qmlAction(CppQmlIf.OpenReport_QmlAction)
            }
        }

        // Below the buttons and as wide as the box, so that the run's figures
        // fit in every language.
        PerMilleBar {
            id: combinedProgress
            objectName: "combinedProgress"
            textObjectName: "combinedProgressTxt"
            Layout.fillWidth: true
            Layout.minimumWidth: implicitWidth
            accessibleName: translate + qsTr("Device update")
            value: appIf.iGetVal(CppQmlIf.DeviceCombinedProgressPercent_ValId)
            text: appIf.getText(CppQmlIf.DeviceCombinedProgressText_ValId)
            visible: appIf.boGetVal(CppQmlIf.DeviceCombinedProgressVisible_ValId)
        }
    }
}
