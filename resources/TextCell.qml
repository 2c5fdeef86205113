import QtQuick 2.4

// A table cell with a text of at most two lines (styled text: a second line
// in grey under the name). Part of the main window's tables: reads the row's
// styleData and the window's point size and margin.
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
