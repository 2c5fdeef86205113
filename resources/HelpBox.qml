import QtQuick 2.4
import QtQuick.Controls 1.3
import cpp.qml.interface 1.0

// The help: what to do next, as the bridge explains it for the current state.
// Part of the main window: reads the bridge `appIf`, the refresh triggers
// `translate` and `helpChanged` and plainText() of the window.
GroupBox {
    id: helpBox
    objectName: "helpBox"

    title: translate + qsTr("Help")
    // The boxes take the width the layout gives them. Left to the group box,
    // the width would follow the content's implicit width, which is the help
    // text's unwrapped width here and, when texts change, loops through the
    // layouts inside the other boxes.
    implicitWidth: 0

    // The height that shows the whole help without scrolling, at the present
    // width: the window gives the box this much when it can.
    readonly property real neededHeight: Math.ceil(helpTxt.contentHeight) + height - helpScroll.height

    // Help with pictures can be taller than the box: it scrolls.
    ScrollView {
        id: helpScroll
        objectName: "helpScroll"
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
            Accessible.role: Accessible.StaticText
            Accessible.name: plainText(text)
        }
    }
}
