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
// bridge's repaint signals tell which region to read again. Each group box is
// a file of its own (ToolBox, StickBox, FilesBox, DevicesBox, HelpBox); they
// reach the bridge `appIf`, the refresh triggers and the window's look
// (point size, colours) through the window's scope.
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
            filesBox.readServerText()
            deviceBox.readDeviceCount()
            console.log("onLangChanged to " + appIf.lang + " langIndex: " + index
                        + " langComboBox.currentIndex " + langComboBox.currentIndex)
        }

        onApplDataRepaint: {
            if (mainWindow.repaintReady)
                toolBox.repaint()
        }

        onStickDataRepaint: {
            if (mainWindow.repaintReady)
                stickBox.repaint()
        }

        onFirmwareDataRepaint: {
            if (mainWindow.repaintReady)
                filesBox.repaint()
        }

        onDeviceDataRepaint: {
            if (mainWindow.repaintReady)
                deviceBox.repaint()
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

                ToolBox {
                    id: toolBox
                    Layout.fillWidth: true
                    onInfoRequested: aboutDialog.show()
                }
                StickBox {
                    id: stickBox
                    Layout.fillWidth: true
                }
                FilesBox {
                    id: filesBox
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                }
            }

            DevicesBox {
                id: deviceBox
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
        }

        HelpBox {
            id: helpBox
            Layout.fillWidth: true
            Layout.preferredHeight: 190
            Layout.minimumHeight: 190
            Layout.maximumHeight: 190
        }
    }

    AboutDialog {
        id: aboutDialog
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
