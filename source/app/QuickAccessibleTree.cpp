#include "QuickAccessibleTree.h"

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>

bool QuickAccessibleTree::isTable(const QQuickItem* _item)
{
    return _item->property("columnCount").isValid() && _item->property("rowCount").isValid() &&
           _item->property("__listView").isValid();
}

QObject* QuickAccessibleTree::attachedOf(const QQuickItem* _item)
{
    if (!_item)
        return nullptr;
    // The attached object is created as a child of its item.
    for (QObject* child : _item->children()) {
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child;
    }
    return nullptr;
}

bool QuickAccessibleTree::isReported(QQuickItem* _item)
{
    if (!_item)
        return false;
    if (QObject* attached = attachedOf(_item)) {
        if (attached->property("ignored").toBool())
            return false;
    }
    // Qt Quick answers for the items it makes accessible, this factory for
    // the rest.
    return QAccessible::queryAccessibleInterface(_item) != nullptr;
}

QRect QuickAccessibleTree::screenRect(const QQuickItem* _item)
{
    if (!_item || !_item->window() || !_item->isVisible() || qFuzzyIsNull(_item->opacity()))
        return QRect();
    const QSize size(int(_item->width()), int(_item->height()));
    const QPointF scenePoint = _item->mapToScene(QPointF(0, 0));
    return QRect(_item->window()->mapToGlobal(scenePoint.toPoint()), size);
}

QAccessibleInterface* QuickAccessibleTree::reportedParent(const QQuickItem* _item)
{
    if (!_item)
        return nullptr;
    QQuickWindow* window = _item->window();
    const QQuickItem* content = window ? window->contentItem() : nullptr;
    for (QQuickItem* parent = _item->parentItem(); parent; parent = parent->parentItem()) {
        if (parent == content)
            return QAccessible::queryAccessibleInterface(window);
        if (isReported(parent))
            return QAccessible::queryAccessibleInterface(parent);
    }
    return nullptr;
}

QList<QQuickItem*> QuickAccessibleTree::reportedChildren(QQuickItem* _item)
{
    QList<QQuickItem*> found;
    if (!_item)
        return found;
    const QList<QQuickItem*> children = _item->childItems();
    for (QQuickItem* child : children) {
        if (isReported(child))
            found.append(child);
        else
            found.append(reportedChildren(child));
    }
    return found;
}

bool QuickAccessibleTree::cellPosition(const QQuickItem* _item, int* _row, int* _column)
{
    // A table's cell and header delegates are loaded by loaders that hand
    // them a styleData object: with row and column for cells, with column
    // and no row for headers. The search ends at the table.
    for (const QQuickItem* ancestor = _item; ancestor; ancestor = ancestor->parentItem()) {
        if (ancestor != _item && isTable(ancestor))
            return false;
        const auto* styleData = ancestor->property("styleData").value<QObject*>();
        if (!styleData || !styleData->property("column").isValid())
            continue;
        const QVariant row = styleData->property("row");
        // The header's last loader fills the rest of the header: no column.
        *_column = styleData->property("column").toInt();
        *_row = row.isValid() ? row.toInt() : -1;
        if (*_column < 0)
            return false;
        for (const QQuickItem* above = ancestor->parentItem(); above; above = above->parentItem()) {
            if (isTable(above))
                return true;
        }
        return false;
    }
    return false;
}
