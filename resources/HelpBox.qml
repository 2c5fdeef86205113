import QtQuick 2.4
import QtQuick.Controls 1.3
import cpp.qml.interface 1.0

// The help: what to do next, as the bridge explains it for the current state.
// The keyboard reaches it with Tab; the arrow keys, Page Up, Page Down, Home
// and End scroll a help taller than the box.
// Part of the main window: reads the bridge `appIf`, the refresh triggers
// `translate` and `helpChanged`, its palette and plainText().
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
        activeFocusOnTab: true

        // By this much, or to a side; never past the help's ends.
        function scrollBy(delta) {
            var flick = flickableItem
            var bottom = Math.max(0, flick.contentHeight - flick.height)
            flick.contentY = Math.max(0, Math.min(bottom, flick.contentY + delta))
        }
        readonly property real lineStep: Math.ceil(helpTxt.font.pixelSize > 0 ? helpTxt.font.pixelSize * 1.5 : 20)
        Keys.onUpPressed: scrollBy(-lineStep)
        Keys.onDownPressed: scrollBy(lineStep)
        Keys.onPressed: {
            if (event.key === Qt.Key_PageUp)
                scrollBy(-viewport.height)
            else if (event.key === Qt.Key_PageDown)
                scrollBy(viewport.height)
            else if (event.key === Qt.Key_Home)
                scrollBy(-flickableItem.contentHeight)
            else if (event.key === Qt.Key_End)
                scrollBy(flickableItem.contentHeight)
            else
                return
            event.accepted = true
        }

        Text {
            id: helpTxt
            objectName: "helpTxt"
            width: helpScroll.viewport.width
            wrapMode: Text.WordWrap
            textFormat: Text.RichText
            color: systemPalette.text
            text: translate + helpChanged + appIf.getText(CppQmlIf.HelpBoxTxt_ValId)
            Accessible.role: Accessible.StaticText
            Accessible.name: plainText(text)
        }
    }
    // Where the keyboard is.
    Rectangle {
        anchors.fill: helpScroll
        color: "transparent"
        border.width: 2
        border.color: systemPalette.highlight
        visible: helpScroll.activeFocus
    }
}
