import QtQuick 2.4
import QtQuick.Controls 1.3

// The look of both tables: rows 35 high in alternating white and light grey,
// no selection, and column titles that are never cut: a column is as wide as
// its user asks or as its title needs (columnWidth).
// Part of the main window: reads the refresh trigger `translate` and
// `columnTextMargin`.
TableView {
    id: table

    readonly property int rowHeight: 35
    readonly property real headerHeight: Math.round(titleMetrics.height * 1.2) + 4

    // At least `minimum`, or wider when the (translated) title needs it.
    function columnWidth(minimum, title) {
        return Math.max(minimum, Math.ceil(titleMetrics.advanceWidth(title)) + 2 * columnTextMargin + 2)
    }

    // The height that shows that many rows without scrolling (with the frame).
    function heightForRows(rows) {
        return headerHeight + rows * rowHeight + 2
    }

    selectionMode: SelectionMode.NoSelection
    rowDelegate: Rectangle {
        height: table.rowHeight
        color: styleData.alternate ? "#f6f6f6" : "white"
    }
    // The same under every style, so that the width a title needs is known.
    headerDelegate: Rectangle {
        implicitHeight: table.headerHeight
        color: palette.button
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: palette.mid
        }
        Rectangle {
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            width: 1
            height: parent.height - 6
            color: palette.mid
        }
        Text {
            id: headerText
            objectName: "headerText"
            anchors.fill: parent
            anchors.leftMargin: columnTextMargin
            anchors.rightMargin: columnTextMargin
            verticalAlignment: Text.AlignVCenter
            font: titleMetrics.font
            color: palette.buttonText
            elide: Text.ElideRight
            text: styleData.value
            Accessible.role: Accessible.ColumnHeader
            Accessible.name: text
            Accessible.ignored: text === ""
        }
    }

    SystemPalette {
        id: palette
    }
    FontMetrics {
        id: titleMetrics
    }
}
