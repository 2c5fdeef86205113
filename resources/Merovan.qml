import QtQuick 2.4
import QtQuick.Controls 1.3
import QtQuick.Controls.Styles 1.3
import QtQuick.Dialogs 1.2
import QtQuick.Window 2.2
import QtQuick.Layouts 1.1
import QtQml 2.2
import Qt.labs.settings 1.0
import cpp.qml.interface 1.0

// The main window. It holds no logic beyond layout: every value and text comes
// from the bridge by id, every click goes to it as an action id, and the
// bridge's repaint signals tell which region to read again.
ApplicationWindow {
    id: mainWindow
    objectName: "mainWindow"

    // Always empty; appending them to a binding makes it re-evaluate when the
    // bridge announces new translations, stick texts or help.
    property alias translate: appIf.translateHelper
    property alias refreshStick: appIf.stickRefreshHelper
    property alias helpChanged: appIf.helpBoxHelper

    property real fontpointSize: 8.0
    property int columnTextMargin: 3
    property color progressBarColor: "#C0FF42"
    property color progressBarBorderColor: "gray"
    property string errorMessage: qsTr("No error!")
    // 65, or wider when the translated column title needs it.
    property real progressColumnWidth: Math.max(65, Math.ceil(progressTitleMetrics.width) + 10)

    // The repaint handlers work on finished controls only; until then the
    // initial bindings have read every value.
    property bool repaintReady: false

    function float2int(value) {
        return value | 0
    }

    function highlightState(highlight) {
        return appIf.isHighlightState(highlight) ? "highlighted" : "normal"
    }

    title: translate + appIf.getText(CppQmlIf.ApplName_ValId)
    width: 1024
    height: 768
    minimumWidth: 500
    minimumHeight: 200
    visible: true

    CppQmlIf {
        id: appIf
        objectName: "appIf"

        onLangChanged: {
            if (!mainWindow.repaintReady)
                return
            var index = appIf.iGetVal(CppQmlIf.LangIndex_ValId)
            if (index === -1)
                index = 0
            if (langComboBox.currentIndex !== index)
                langComboBox.currentIndex = index
            serverErrorTxt.text = appIf.getText(CppQmlIf.ServerErrorTxt_ValId)
            deviceCountTxt.text = appIf.getText(CppQmlIf.DeviceCountTxt_ValId)
            console.log("onLangChanged to " + appIf.lang + " langIndex: " + index
                        + " langComboBox.currentIndex " + langComboBox.currentIndex)
        }

        onApplDataRepaint: {
            if (!mainWindow.repaintReady)
                return
            applUpdateButton.enabled = appIf.boGetVal(CppQmlIf.ApplUpdateButton_ValId)
            applUpdateButton.state = mainWindow.highlightState(CppQmlIf.HighlightApplication)
            applVersionTxt.text = Qt.binding(function() {
                return translate + appIf.getText(CppQmlIf.ApplVersion_ValId)
            })
        }

        onStickDataRepaint: {
            if (!mainWindow.repaintReady)
                return
            stickUpdateButton.enabled = appIf.boGetVal(CppQmlIf.StickUpdateButtonEnabled_ValId)
            stickUpdateButton.state = mainWindow.highlightState(CppQmlIf.HighlightStickUpdate)
            stickProgress.visible = appIf.boGetVal(CppQmlIf.StickUpdateProgressVisible_ValId)
            stickProgress.value = appIf.iGetVal(CppQmlIf.StickUpdateProgress_ValId)
            stickDoneImg.source = appIf.getText(CppQmlIf.StickUpdateDoneImg_ValId)
            stickDoneImg.visible = stickDoneImg.source != ""
            stickJoinNewNwButton.enabled = appIf.boGetVal(CppQmlIf.StickJoinNewNwButtonEnabled_ValId)
        }

        onFirmwareDataRepaint: {
            if (!mainWindow.repaintReady)
                return
            fileUpdateButton.enabled = appIf.boGetVal(CppQmlIf.FileUpdateButton_ValId)
            fileUpdateButton.state = mainWindow.highlightState(CppQmlIf.HighlightFileDownload)
            commonFileSelector.checkedState = appIf.iGetVal(CppQmlIf.FirmwareSelectState_ValId)
            serverErrorTxt.text = appIf.getText(CppQmlIf.ServerErrorTxt_ValId)
        }

        onDeviceDataRepaint: {
            if (!mainWindow.repaintReady)
                return
            flashButton.enabled = appIf.boGetVal(CppQmlIf.DeviceUpdateButton_ValId)
            flashButton.state = mainWindow.highlightState(CppQmlIf.HighlightDeviceUpdate)
            flashAbortButton.enabled = appIf.boGetVal(CppQmlIf.DeviceAbortButton_ValId)
            combinedProgress.visible = appIf.boGetVal(CppQmlIf.DeviceCombinedProgressVisible_ValId)
            deviceCountTxt.text = appIf.getText(CppQmlIf.DeviceCountTxt_ValId)
        }

        onDisplayErrorWindow: {
            console.log("onDisplayErrorWindow: " + value)
            mainWindow.errorMessage = value
            errorDialog.open()
        }
    }

    TextMetrics {
        id: progressTitleMetrics
        text: translate + qsTr("Progress")
    }

    Settings {
        category: "applWinSettings"
        property alias x: mainWindow.x
        property alias y: mainWindow.y
        property alias width: mainWindow.width
        property alias height: mainWindow.height
        property alias fontpointSize: mainWindow.fontpointSize
    }

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
            combinedProgressTxt.text = appIf.getText(CppQmlIf.DeviceCombinedProgressText_ValId)
            deviceCountTxt.text = appIf.getText(CppQmlIf.DeviceCountTxt_ValId)
            if (appIf.SysState() !== CppQmlIf.SysStateDeviceUpdate)
                stop()
        }
    }

    toolBar: ToolBar {
        RowLayout {
            anchors.fill: parent
            Item {
                Layout.fillWidth: true
            }
            ComboBox {
                id: langComboBox
                objectName: "langComboBox"
                Layout.preferredWidth: 150
                model: appIf.langListModel
                textRole: "display"
                enabled: appIf.iGetVal(CppQmlIf.LangCount_ValId) > 0
                onCurrentIndexChanged: {
                    if (appIf.initCompleted && currentIndex !== -1
                            && currentIndex < appIf.iGetVal(CppQmlIf.LangCount_ValId))
                        appIf.lang = appIf.getLang(currentIndex)
                }
            }
            ToolButton {
                id: helpButton
                objectName: "helpButton"
                iconSource: "qrc:/pic/question.png"
                tooltip: translate + qsTr("Show manual")
                onClicked: appIf.qmlAction(CppQmlIf.OpenHelp_QmlAction)
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 5
        spacing: 5

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 5

            ColumnLayout {
                Layout.minimumWidth: 488
                Layout.maximumWidth: 488
                Layout.preferredWidth: 488
                Layout.fillHeight: true
                spacing: 5

                GroupBox {
                    id: toolBox
                    objectName: "toolBox"
                    implicitWidth: 0 // see the help box
                    title: translate + qsTr("Tool")
                    Layout.fillWidth: true

                    RowLayout {
                        anchors.fill: parent

                        GridLayout {
                            columns: 2
                            Label {
                                text: translate + qsTr("Version:")
                            }
                            Text {
                                id: applVersionTxt
                                objectName: "applVersionTxt"
                                textFormat: Text.RichText
                                text: translate + appIf.getText(CppQmlIf.ApplVersion_ValId)
                            }
                            RowLayout {
                                Layout.columnSpan: 2
                                Button {
                                    id: infoButton
                                    objectName: "infoButton"
                                    text: translate + qsTr("Info...")
                                    tooltip: translate + qsTr("Show program information")
                                    onClicked: aboutDialog.show()
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
                        Image {
                            source: "qrc:/pic/TarnLogo.png"
                            Layout.alignment: Qt.AlignRight | Qt.AlignVCenter
                        }
                    }
                }

                GroupBox {
                    id: stickBox
                    objectName: "stickBox"
                    implicitWidth: 0 // see the help box
                    title: translate + qsTr("Stick")
                    Layout.fillWidth: true

                    ColumnLayout {
                        anchors.fill: parent

                        GridLayout {
                            columns: 2
                            Label {
                                text: translate + qsTr("Status:")
                            }
                            Text {
                                id: stickStatusTxt
                                objectName: "stickStatusTxt"
                                textFormat: Text.RichText
                                text: translate + refreshStick + appIf.getText(CppQmlIf.StickConnectStateTxt_ValId)
                            }
                            Label {
                                text: translate + qsTr("Version:")
                            }
                            Text {
                                id: stickVersionTxt
                                objectName: "stickVersionTxt"
                                textFormat: Text.RichText
                                text: translate + refreshStick + appIf.getText(CppQmlIf.StickVersionTxt_ValId)
                            }
                            Label {
                                text: translate + qsTr("Network:")
                            }
                            Text {
                                id: stickNetworkTxt
                                objectName: "stickNetworkTxt"
                                textFormat: Text.RichText
                                text: translate + refreshStick + appIf.getText(CppQmlIf.ConnectedNetworkStatus_ValId)
                            }
                        }

                        RowLayout {
                            Button {
                                id: stickJoinNewNwButton
                                objectName: "stickJoinNewNwButton"
                                Layout.preferredWidth: Math.max(170, implicitWidth)
                                text: translate + qsTr("Join new network")
                                tooltip: translate + qsTr("Reset stick to factory new")
                                enabled: appIf.boGetVal(CppQmlIf.StickJoinNewNwButtonEnabled_ValId)
                                onClicked: appIf.qmlAction(CppQmlIf.ResetToFN_QmlAction)
                            }
                            HighlightedButton {
                                id: stickUpdateButton
                                objectName: "stickUpdateButton"
                                buttonWidth: 130
                                text: translate + qsTr("Update Stick")
                                tooltip: translate + qsTr("Install the new stick firmware version.")
                                enabled: appIf.boGetVal(CppQmlIf.StickUpdateButtonEnabled_ValId)
                                state: mainWindow.highlightState(CppQmlIf.HighlightStickUpdate)
                                onClicked: appIf.qmlAction(CppQmlIf.DoStickUpdate_QmlAction)
                            }
                            Rectangle {
                                id: stickProgress
                                objectName: "stickProgress"
                                property int value: appIf.iGetVal(CppQmlIf.StickUpdateProgress_ValId)
                                Layout.preferredWidth: 100
                                height: 20
                                color: "white"
                                border.width: 1
                                border.color: progressBarBorderColor
                                visible: appIf.boGetVal(CppQmlIf.StickUpdateProgressVisible_ValId)
                                Rectangle {
                                    x: 1
                                    y: 1
                                    height: 18
                                    width: (parent.width - 2) / 1000 * Math.max(0, parent.value)
                                    color: progressBarColor
                                }
                                Text {
                                    objectName: "stickProgressTxt"
                                    anchors.horizontalCenter: parent.horizontalCenter
                                    y: 3
                                    font.pointSize: fontpointSize
                                    text: float2int(parent.value / 10) + "%"
                                    visible: parent.value >= 0
                                }
                            }
                            Image {
                                id: stickDoneImg
                                objectName: "stickDoneImg"
                                Layout.preferredWidth: 20
                                Layout.preferredHeight: 20
                                sourceSize.width: 20
                                sourceSize.height: 20
                                source: appIf.getText(CppQmlIf.StickUpdateDoneImg_ValId)
                                visible: source != ""
                            }
                        }
                    }
                }

                GroupBox {
                    id: filesBox
                    objectName: "filesBox"
                    implicitWidth: 0 // see the help box
                    title: translate + qsTr("Files")
                    Layout.fillWidth: true
                    Layout.fillHeight: true

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
                                delegate: cellText
                            }
                            TableViewColumn {
                                role: "version"
                                title: translate + qsTr("Version")
                                width: 125
                                movable: false
                                resizable: false
                                delegate: cellRichText
                            }
                            TableViewColumn {
                                role: "progress"
                                title: translate + qsTr("Progress")
                                width: progressColumnWidth
                                movable: false
                                resizable: false
                                delegate: cellProgress
                            }
                            TableViewColumn {
                                role: "done"
                                width: 26
                                movable: false
                                resizable: false
                                delegate: cellPicture
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
            }

            GroupBox {
                id: deviceBox
                objectName: "deviceBox"
                implicitWidth: 0 // see the help box
                title: translate + qsTr("Devices")
                Layout.fillWidth: true
                Layout.fillHeight: true

                ColumnLayout {
                    anchors.fill: parent

                    Text {
                        id: deviceCountTxt
                        objectName: "deviceCountTxt"
                        Layout.alignment: Qt.AlignRight
                        font.pointSize: fontpointSize
                        text: appIf.getText(CppQmlIf.DeviceCountTxt_ValId)
                    }

                    TableView {
                        id: deviceTable
                        objectName: "deviceTable"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        model: appIf.zigBeeDeviceModel
                        selectionMode: SelectionMode.NoSelection
                        rowDelegate: Rectangle {
                            height: 35
                            color: styleData.alternate ? "#f6f6f6" : "white"
                        }

                        TableViewColumn {
                            role: "devType"
                            title: translate + qsTr("Type")
                            width: 190
                            movable: false
                            resizable: false
                            delegate: cellText
                        }
                        TableViewColumn {
                            role: "name"
                            title: translate + qsTr("Address")
                            width: 60
                            movable: false
                            resizable: false
                            delegate: cellText
                        }
                        TableViewColumn {
                            role: "version"
                            title: translate + qsTr("Version")
                            width: 125
                            movable: false
                            resizable: false
                            delegate: cellRichText
                        }
                        TableViewColumn {
                            role: "progress"
                            title: translate + qsTr("Progress")
                            width: progressColumnWidth
                            movable: false
                            resizable: false
                            delegate: cellProgress
                        }
                        TableViewColumn {
                            role: "done"
                            width: 26
                            movable: false
                            resizable: false
                            delegate: cellPicture
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
                        Button {
                            id: flashAbortButton
                            objectName: "flashAbortButton"
                            text: translate + qsTr("Cancel")
                            tooltip: translate + qsTr("Cancel update.")
                            enabled: appIf.boGetVal(CppQmlIf.DeviceAbortButton_ValId)
                            onClicked: {
                                appIf.qmlAction(CppQmlIf.AbortDeviceUpdate_QmlAction)
                                deviceProgressTimer.stop()
                            }
                        }
                        Rectangle {
                            id: combinedProgress
                            objectName: "combinedProgress"
                            property int value: appIf.iGetVal(CppQmlIf.DeviceCombinedProgressPercent_ValId)
                            Layout.fillWidth: true
                            height: 20
                            color: "white"
                            border.width: 1
                            border.color: progressBarBorderColor
                            visible: appIf.boGetVal(CppQmlIf.DeviceCombinedProgressVisible_ValId)
                            Rectangle {
                                x: 1
                                y: 1
                                height: 18
                                width: (parent.width - 2) / 1000 * Math.max(0, Math.min(1000, parent.value))
                                color: progressBarColor
                            }
                            Text {
                                id: combinedProgressTxt
                                objectName: "combinedProgressTxt"
                                anchors.horizontalCenter: parent.horizontalCenter
                                y: 3
                                font.pointSize: fontpointSize
                                text: appIf.getText(CppQmlIf.DeviceCombinedProgressText_ValId)
                            }
                        }
                    }
                }
            }
        }

        GroupBox {
            id: helpBox
            objectName: "helpBox"
            title: translate + qsTr("Help")
            Layout.fillWidth: true
            // The boxes take the width the layout gives them. Left to the
            // group box, the width would follow the content's implicit width,
            // which is the help text's unwrapped width here and, when texts
            // change, loops through the layouts inside the other boxes.
            implicitWidth: 0
            Layout.preferredHeight: 190
            Layout.minimumHeight: 190
            Layout.maximumHeight: 190

            // Help with pictures can be taller than the box: it scrolls.
            ScrollView {
                id: helpScroll
                anchors.fill: parent
                frameVisible: false
                horizontalScrollBarPolicy: Qt.ScrollBarAlwaysOff

                Text {
                    id: helpTxt
                    objectName: "helpTxt"
                    width: helpScroll.viewport.width
                    wrapMode: Text.WordWrap
                    textFormat: Text.RichText
                    text: translate + helpChanged + appIf.getText(CppQmlIf.HelpBoxTxt_ValId)
                }
            }
        }
    }

    // Cells of both tables.
    Component {
        id: cellText
        Item {
            Text {
                objectName: "cellText"
                anchors.fill: parent
                anchors.leftMargin: columnTextMargin
                verticalAlignment: Text.AlignVCenter
                font.pointSize: fontpointSize
                textFormat: Text.StyledText
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
                text: styleData.value !== undefined ? styleData.value : ""
            }
        }
    }
    Component {
        id: cellRichText
        Item {
            Text {
                anchors.fill: parent
                anchors.leftMargin: columnTextMargin
                verticalAlignment: Text.AlignVCenter
                font.pointSize: fontpointSize
                textFormat: Text.RichText
                text: styleData.value !== undefined ? styleData.value : ""
            }
        }
    }
    Component {
        id: cellProgress
        Item {
            Rectangle {
                property int value: styleData.value !== undefined ? styleData.value : -1
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - 5
                height: 20
                color: "white"
                border.width: 1
                border.color: progressBarBorderColor
                Rectangle {
                    x: 1
                    y: 1
                    height: 18
                    width: (parent.width - 2) / 1000 * Math.max(0, parent.value)
                    color: progressBarColor
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    y: 3
                    font.pointSize: fontpointSize
                    text: float2int(parent.value / 10) + "%"
                    visible: parent.value >= 0
                }
            }
        }
    }
    Component {
        id: cellPicture
        Item {
            Image {
                anchors.centerIn: parent
                width: 20
                height: 20
                sourceSize.width: 20
                sourceSize.height: 20
                source: styleData.value !== undefined ? styleData.value : ""
                visible: source != ""
            }
        }
    }

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

    MessageDialog {
        id: errorDialog
        objectName: "errorDialog"
        title: translate + qsTr("Error Message")
        text: errorMessage
        standardButtons: StandardButton.Ok
        onAccepted: {
            console.log("And of course you could only agree.")
            close()
        }
    }

    Component.onCompleted: {
        repaintReady = true
        appIf.initCompleted = true
        console.log("Component.onCompleted: fontpointSize " + fontpointSize)
    }
}
