#pragma once

#include <QList>
#include <QRect>

class QAccessibleInterface;
class QObject;
class QQuickItem;

// The window's items as a screen reader sees them: which are reported, their
// place on the screen, their reported parent and children, and the table
// cell an item shows. Shared by the item and the table interfaces.
class QuickAccessibleTree
{
public:
    // The Accessible properties of an item (Qt's attached object); null when
    // QML sets none.
    static QObject* attachedOf(const QQuickItem* _item);
    // Reported to a screen reader at all: accessible and not ignored.
    static bool isReported(QQuickItem* _item);
    // What Qt Quick reports as an item's place on the screen.
    static QRect screenRect(const QQuickItem* _item);
    // The nearest ancestor that is reported, or the window for the top.
    static QAccessibleInterface* reportedParent(const QQuickItem* _item);
    // The reported items below _item, in the order of its children, without
    // looking inside reported ones.
    static QList<QQuickItem*> reportedChildren(QQuickItem* _item);
    // The table cell an item shows: its row and column, and whether it is a
    // column header (row -1); false outside a table.
    static bool cellPosition(const QQuickItem* _item, int* _row, int* _column);
    // The TableView of the window's tables (ListTable.qml).
    static bool isTable(const QQuickItem* _item);
};
