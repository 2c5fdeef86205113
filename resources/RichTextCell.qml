import QtQuick 2.4

// A table cell with rich text (versions in colour, with an arrow to the new
// one). Part of the main window's tables: reads the row's styleData and the
// window's point size, margin, palette, themed() and plainText().
Item {
    Text {
        anchors.fill: parent
        anchors.leftMargin: columnTextMargin
        verticalAlignment: Text.AlignVCenter
        font.pointSize: fontpointSize
        color: systemPalette.text
        textFormat: Text.RichText
        text: styleData.value !== undefined ? themed(styleData.value) : ""
        Accessible.role: Accessible.Cell
        Accessible.name: plainText(text)
        Accessible.ignored: text === ""
    }
}
