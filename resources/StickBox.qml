import QtQuick 2.4
import QtQuick.Controls 1.3
import QtQuick.Layouts 1.1
import cpp.qml.interface 1.0

// The stick: its link, firmware version and network, joining a new network,
// and the stick's own update with its progress and result.
// Part of the main window: reads the bridge `appIf`, the refresh triggers
// `translate` and `refreshStick` and pictureName() of the window.
GroupBox {
    id: stickBox
    objectName: "stickBox"

    // What the bridge's stickDataRepaint asks to read again.
    function repaint() {
        stickUpdateButton.enabled = appIf.boGetVal(CppQmlIf.StickUpdateButtonEnabled_ValId)
        stickUpdateButton.state = mainWindow.highlightState(CppQmlIf.HighlightStickUpdate)
        stickProgress.visible = appIf.boGetVal(CppQmlIf.StickUpdateProgressVisible_ValId)
        stickProgress.value = appIf.iGetVal(CppQmlIf.StickUpdateProgress_ValId)
        stickDoneImg.source = appIf.getText(CppQmlIf.StickUpdateDoneImg_ValId)
        stickDoneImg.visible = stickDoneImg.source != ""
        stickJoinNewNwButton.enabled = appIf.boGetVal(CppQmlIf.StickJoinNewNwButtonEnabled_ValId)
    }

    implicitWidth: 0 // see HelpBox.qml
    title: translate + qsTr("Stick")

    ColumnLayout {
        anchors.fill: parent

        GridLayout {
            columns: 2
            Label {
                id: stickStatusLabel
                text: translate + qsTr("Status:")
                Accessible.ignored: true
            }
            ValueText {
                id: stickStatusTxt
                objectName: "stickStatusTxt"
                label: stickStatusLabel.text
                value: translate + refreshStick + appIf.getText(CppQmlIf.StickConnectStateTxt_ValId)
            }
            Label {
                id: stickVersionLabel
                text: translate + qsTr("Version:")
                Accessible.ignored: true
            }
            ValueText {
                id: stickVersionTxt
                objectName: "stickVersionTxt"
                label: stickVersionLabel.text
                value: translate + refreshStick + appIf.getText(CppQmlIf.StickVersionTxt_ValId)
            }
            Label {
                id: stickNetworkLabel
                text: translate + qsTr("Network:")
                Accessible.ignored: true
            }
            ValueText {
                id: stickNetworkTxt
                objectName: "stickNetworkTxt"
                label: stickNetworkLabel.text
                value: translate + refreshStick + appIf.getText(CppQmlIf.ConnectedNetworkStatus_ValId)
            }
        }

        RowLayout {
            Layout.fillWidth: true
            PushButton {
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
            PerMilleBar {
                id: stickProgress
                objectName: "stickProgress"
                textObjectName: "stickProgressTxt"
                // 100 wide where the row has room, narrower with long button texts.
                Layout.fillWidth: true
                Layout.maximumWidth: 100
                Layout.minimumWidth: implicitWidth
                accessibleName: translate + qsTr("Stick update")
                value: appIf.iGetVal(CppQmlIf.StickUpdateProgress_ValId)
                visible: appIf.boGetVal(CppQmlIf.StickUpdateProgressVisible_ValId)
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
                Accessible.ignored: !visible
                Accessible.role: Accessible.Graphic
                Accessible.name: translate + qsTr("Stick update:") + " " + pictureName(source)
            }
        }
    }
}
