import QtQuick 2.5
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
// reach the bridge `appIf`, the refresh triggers, the window's look (point
// size, colours) and its texts for screen readers (plainText, pictureName)
// through the window's scope. The keyboard reaches every control with Tab;
// F1 opens the manual.
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
    // The colours of texts and backgrounds come from the system palette. The
    // status colours (progress, versions) have a variant for dark palettes,
    // so that they keep their contrast on either.
    readonly property bool darkPalette: systemPalette.window.hslLightness < 0.5
    property color progressBarColor: darkPalette ? "#4d7c0f" : "#C0FF42"
    property color progressBarBorderColor: systemPalette.mid
    readonly property color statusBlue: darkPalette ? "#8ab4f8" : "#1a56b0"
    readonly property color statusGreen: darkPalette ? "#7dd87d" : "#1b7a2b"
    readonly property color statusRed: darkPalette ? "#ff8a80" : "#c62828"
    readonly property color dimTextColor: Qt.rgba(0.6 * systemPalette.text.r + 0.4 * systemPalette.window.r,
                                                  0.6 * systemPalette.text.g + 0.4 * systemPalette.window.g,
                                                  0.6 * systemPalette.text.b + 0.4 * systemPalette.window.b, 1)
    property string errorMessage: qsTr("No error!")
    // The control that last had the keyboard focus (see passFocusOn).
    property Item lastFocusControl: null

    // The repaint handlers work on finished controls only; until then the
    // initial bindings have read every value.
    property bool repaintReady: false

    function float2int(value) {
        return value | 0
    }

    // The bridge's rich texts name their colours (black, grey, blue, green,
    // red); these become the palette's text colours and the status colours.
    function themed(rich) {
        var colours = {
            "black": systemPalette.text,
            "grey": dimTextColor,
            "gray": dimTextColor,
            "blue": statusBlue,
            "green": statusGreen,
            "red": statusRed
        }
        return String(rich).replace(/color="(black|grey|gray|blue|green|red)"/g, function(all, name) {
            return 'color="' + String(colours[name]) + '"'
        })
    }

    // A control disabled while it has the keyboard focus hands the focus to
    // the next control of the tab chain.
    function passFocusOn(control) {
        if (control.enabled)
            return
        var focused = mainWindow.activeFocusItem
        var hadFocus = control.activeFocus
                || (lastFocusControl === control && (!focused || !focused.activeFocusOnTab))
        if (!hadFocus)
            return
        var next = control.nextItemInFocusChain(true)
        if (next && next !== control)
            next.forceActiveFocus(Qt.TabFocusReason)
    }

    onActiveFocusItemChanged: {
        if (activeFocusItem && activeFocusItem.activeFocusOnTab)
            lastFocusControl = activeFocusItem
    }

    function highlightState(highlight) {
        return appIf.isHighlightState(highlight) ? "highlighted" : "normal"
    }

    // What a picture of the bridge's texts and tables says, for a screen
    // reader; empty for pictures that only decorate.
    function pictureName(url) {
        var name = String(url).replace(/^.*\//, "").replace("@2x.png", ".png")
        if (name === "checkmark.png")
            return translate + qsTr("Updated")
        if (name === "error.png")
            return translate + qsTr("Failed")
        if (name === "error_light.png")
            return translate + qsTr("Failed, will be tried again")
        if (name === "update_arrow.png")
            return translate + qsTr("update to")
        if (name === "help_hint.png")
            return translate + qsTr("Note:")
        return ""
    }

    // Rich text as a screen reader reads it: pictures that carry meaning as
    // words, line breaks as commas or spaces, no tags and no entities.
    function plainText(rich) {
        var text = String(rich)
            .replace(/<img[^>]*src="([^"]*)"[^>]*>/gi, function(tag, url) {
                var name = pictureName(url)
                return name !== "" ? " " + name + " " : " "
            })
            .replace(/\s*(<br\s*\/?>\s*)+/gi, "\n")
            .replace(/<\/(td|h[1-6]|p|div)>/gi, " ")
            .replace(/<[^>]*>/g, "")
            .replace(/&nbsp;/g, " ").replace(/&lt;/g, "<").replace(/&gt;/g, ">")
            .replace(/&quot;/g, "\"").replace(/&amp;/g, "&")
        // After a sentence a line break is a pause; inside a cell ("type,
        // state") it separates two values.
        return text.replace(/([.:!?])\s*\n/g, "$1 ").replace(/\s*\n\s*/g, ", ")
            .replace(/\s+/g, " ").trim()
    }

    title: translate + appIf.getText(CppQmlIf.ApplName_ValId)
    width: 1024
    height: 768
    minimumWidth: 1024
    minimumHeight: 700
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
            // A document that did not open comes with its path.
            if (value !== null && typeof value === "object" && value.path !== undefined) {
                fileProblemDialog.showFile(value.text, value.path)
                return
            }
            mainWindow.errorMessage = value
            errorDialog.open()
        }
    }

    Settings {
        category: "applWinSettings"
        property alias x: mainWindow.x
        property alias y: mainWindow.y
        property alias width: mainWindow.width
        property alias height: mainWindow.height
        property alias fontpointSize: mainWindow.fontpointSize
    }

    SystemPalette {
        id: systemPalette
        colorGroup: SystemPalette.Active
    }

    // The manual, from anywhere in the window.
    Shortcut {
        sequence: StandardKey.HelpContents
        onActivated: appIf.qmlAction(CppQmlIf.OpenHelp_QmlAction)
    }

    toolBar: ToolBar {
        Accessible.name: translate + qsTr("Language and manual")
        RowLayout {
            anchors.fill: parent
            Item {
                Layout.fillWidth: true
            }
            ComboBox {
                id: langComboBox
                objectName: "langComboBox"
                Layout.preferredWidth: Math.max(150, implicitWidth)
                Accessible.name: translate + qsTr("Language")
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
                Accessible.name: tooltip
                activeFocusOnTab: true
                onClicked: appIf.qmlAction(CppQmlIf.OpenHelp_QmlAction)
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
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
                id: leftColumn
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

        // As high as its text needs, as long as the boxes above keep room
        // for five files (a tool, a stick and three device types); never
        // lower than 190, where the help scrolls instead.
        HelpBox {
            id: helpBox
            readonly property real room: parent.height - parent.spacing - toolBox.implicitHeight
                                         - stickBox.implicitHeight - filesBox.heightForRows(5)
                                         - 2 * leftColumn.spacing
            Layout.fillWidth: true
            Layout.minimumHeight: 190
            Layout.preferredHeight: Math.max(190, Math.min(neededHeight, room))
            Layout.maximumHeight: Layout.preferredHeight
        }
    }

    AboutDialog {
        id: aboutDialog
    }

    FileProblemDialog {
        id: fileProblemDialog
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
