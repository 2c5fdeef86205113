import QtQuick 2.4
import QtQuick.Controls.Private 1.0

// A table cell with a text of at most two lines (styled text: a second line
// in grey under the name), optionally with a tooltip.
// Part of the main window's tables: reads the row's styleData and the
// window's point size, margin, palette, themed() and plainText().
Item {
    id: cell

    // Shown while the pointer rests on the cell; to a screen reader, the
    // cell's description.
    property string tooltip

    Text {
        objectName: "cellText"
        anchors.fill: parent
        anchors.leftMargin: columnTextMargin
        verticalAlignment: Text.AlignVCenter
        font.pointSize: fontpointSize
        color: systemPalette.text
        textFormat: Text.StyledText
        wrapMode: Text.WordWrap
        maximumLineCount: 2
        elide: Text.ElideRight
        text: styleData.value !== undefined ? themed(styleData.value) : ""
        Accessible.role: Accessible.Cell
        Accessible.name: plainText(text)
        Accessible.description: cell.tooltip
        Accessible.ignored: text === ""
    }

    // Controls 1 offers a tooltip to buttons only; this is the one they use.
    MouseArea {
        id: hover
        anchors.fill: parent
        enabled: cell.tooltip !== ""
        hoverEnabled: true
        acceptedButtons: Qt.NoButton
        onExited: Tooltip.hideText()
        onCanceled: Tooltip.hideText()

        Timer {
            interval: 1000
            running: hover.containsMouse && cell.tooltip !== ""
            onTriggered: Tooltip.showText(hover, Qt.point(hover.mouseX, hover.mouseY), cell.tooltip)
        }
    }
}
