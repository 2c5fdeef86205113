import QtQuick 2.4
import QtQuick.Controls 1.3

// The look of both tables: rows 35 high in alternating colours of the
// system palette, no selection, column titles that are never cut (a column
// is as wide as its user asks or as its title needs, columnWidth) and one
// column that takes the width the others leave (stretchWidth), so that the
// table never scrolls sideways. The arrow keys move the current row, which
// is framed while the table has the keyboard focus.
// To a screen reader it is a table whose cells come row by row with their
// column headers; an untitled column has a header for it alone
// (accessibleTitles, by column).
// Part of the main window: reads the refresh trigger `translate`,
// `columnTextMargin` and the window's systemPalette.
TableView {
    id: table

    readonly property int rowHeight: 35
    readonly property real headerHeight: Math.round(titleMetrics.height * 1.2) + 4
    // Header names for a screen reader where a column has no title.
    property var accessibleTitles: ({})

    // At least `minimum`, or wider when the (translated) title needs it.
    function columnWidth(minimum, title) {
        return Math.max(minimum, Math.ceil(titleMetrics.advanceWidth(title)) + 2 * columnTextMargin + 2)
    }

    // What the viewport leaves for one column once the others have theirs.
    function stretchWidth(minimum, title, others) {
        return Math.max(columnWidth(minimum, title), Math.floor(viewport.width - others))
    }

    // The height that shows that many rows without scrolling (with the frame).
    function heightForRows(rows) {
        return headerHeight + rows * rowHeight + 2
    }

    selectionMode: SelectionMode.NoSelection
    horizontalScrollBarPolicy: Qt.ScrollBarAlwaysOff
    // A row to act on as soon as the keyboard reaches the table.
    onActiveFocusChanged: {
        if (activeFocus && currentRow < 0 && rowCount > 0)
            currentRow = 0
    }
    rowDelegate: Rectangle {
        height: table.rowHeight
        color: styleData.alternate ? systemPalette.alternateBase : systemPalette.base
        border.width: table.activeFocus && styleData.row === table.currentRow ? 2 : 0
        border.color: systemPalette.highlight
    }
    // The same under every style, so that the width a title needs is known.
    headerDelegate: Rectangle {
        implicitHeight: table.headerHeight
        color: systemPalette.button
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: systemPalette.mid
        }
        Rectangle {
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            width: 1
            height: parent.height - 6
            color: systemPalette.mid
        }
        Text {
            id: headerText
            objectName: "headerText"
            anchors.fill: parent
            anchors.leftMargin: columnTextMargin
            anchors.rightMargin: columnTextMargin
            verticalAlignment: Text.AlignVCenter
            font: titleMetrics.font
            color: systemPalette.buttonText
            elide: Text.ElideRight
            text: styleData.value
            readonly property string accessibleTitle: text !== "" ? text
                                                                  : translate + (table.accessibleTitles[styleData.column] || "")
            Accessible.role: Accessible.ColumnHeader
            Accessible.name: accessibleTitle
            Accessible.ignored: accessibleTitle === ""
        }
    }

    FontMetrics {
        id: titleMetrics
    }
}
