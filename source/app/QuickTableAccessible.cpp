#include "QuickTableAccessible.h"

#include <algorithm>

#include <QQuickItem>
#include <QQuickWindow>

#include "QuickAccessibleTree.h"

QuickTableAccessible::QuickTableAccessible(QQuickItem* _table) : QAccessibleObject(_table), m_table(_table)
{}

QQuickItem* QuickTableAccessible::item() const
{
    return m_table.data();
}

QList<QuickTableAccessible::Entry> QuickTableAccessible::entries() const
{
    QList<Entry> cells;
    QList<Entry> others;
    const QList<QQuickItem*> found = QuickAccessibleTree::reportedChildren(m_table);
    for (QQuickItem* child : found) {
        // Delegates kept for reuse and the header drawn while dragging are hidden.
        if (!child->isVisible())
            continue;
        int row = -1;
        int column = -1;
        if (QuickAccessibleTree::cellPosition(child, &row, &column))
            cells.append({row, column, child});
        else
            others.append({-2, -1, child});
    }
    std::stable_sort(cells.begin(), cells.end(), [](const Entry& _a, const Entry& _b) {
        return _a.row != _b.row ? _a.row < _b.row : _a.column < _b.column;
    });
    return cells + others;
}

QAccessibleInterface* QuickTableAccessible::headerAt(int _column) const
{
    for (const Entry& entry : entries()) {
        if (entry.row == -1 && entry.column == _column)
            return QAccessible::queryAccessibleInterface(entry.item);
    }
    return nullptr;
}

QWindow* QuickTableAccessible::window() const
{
    return m_table ? m_table->window() : nullptr;
}

QAccessibleInterface* QuickTableAccessible::parent() const
{
    return QuickAccessibleTree::reportedParent(m_table);
}

QAccessibleInterface* QuickTableAccessible::child(int _index) const
{
    const QList<Entry> all = entries();
    if (_index < 0 || _index >= all.size())
        return nullptr;
    return QAccessible::queryAccessibleInterface(all.at(_index).item);
}

int QuickTableAccessible::childCount() const
{
    return entries().size();
}

int QuickTableAccessible::indexOfChild(const QAccessibleInterface* _child) const
{
    const QList<Entry> all = entries();
    for (int i = 0; i < all.size(); ++i) {
        if (_child && all.at(i).item == _child->object())
            return i;
    }
    return -1;
}

QString QuickTableAccessible::text(QAccessible::Text _type) const
{
    const QObject* attached = QuickAccessibleTree::attachedOf(m_table);
    if (!attached)
        return QString();
    if (_type == QAccessible::Name)
        return attached->property("name").toString();
    if (_type == QAccessible::Description)
        return attached->property("description").toString();
    return QString();
}

QRect QuickTableAccessible::rect() const
{
    return QuickAccessibleTree::screenRect(m_table);
}

QAccessible::Role QuickTableAccessible::role() const
{
    return QAccessible::Table;
}

QAccessible::State QuickTableAccessible::state() const
{
    QAccessible::State state;
    if (!m_table || !m_table->window() || !m_table->window()->isVisible() || !m_table->isVisible())
        state.invisible = true;
    if (m_table && m_table->activeFocusOnTab())
        state.focusable = true;
    if (m_table && m_table->hasActiveFocus())
        state.focused = true;
    if (m_table && !m_table->isEnabled())
        state.disabled = true;
    return state;
}

void* QuickTableAccessible::interface_cast(QAccessible::InterfaceType _type)
{
    if (_type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleObject::interface_cast(_type);
}

QAccessibleInterface* QuickTableAccessible::caption() const
{
    return nullptr;
}

QAccessibleInterface* QuickTableAccessible::summary() const
{
    return nullptr;
}

QAccessibleInterface* QuickTableAccessible::cellAt(int _row, int _column) const
{
    if (_row < 0)
        return nullptr;
    for (const Entry& entry : entries()) {
        if (entry.row == _row && entry.column == _column)
            return QAccessible::queryAccessibleInterface(entry.item);
    }
    return nullptr;
}

int QuickTableAccessible::selectedCellCount() const
{
    return 0;
}

QList<QAccessibleInterface*> QuickTableAccessible::selectedCells() const
{
    return {};
}

QString QuickTableAccessible::columnDescription(int _column) const
{
    QAccessibleInterface* header = headerAt(_column);
    return header ? header->text(QAccessible::Name) : QString();
}

QString QuickTableAccessible::rowDescription(int) const
{
    return QString();
}

int QuickTableAccessible::selectedColumnCount() const
{
    return 0;
}

int QuickTableAccessible::selectedRowCount() const
{
    return 0;
}

int QuickTableAccessible::columnCount() const
{
    return m_table ? m_table->property("columnCount").toInt() : 0;
}

int QuickTableAccessible::rowCount() const
{
    return m_table ? m_table->property("rowCount").toInt() : 0;
}

QList<int> QuickTableAccessible::selectedColumns() const
{
    return {};
}

QList<int> QuickTableAccessible::selectedRows() const
{
    return {};
}

bool QuickTableAccessible::isColumnSelected(int) const
{
    return false;
}

bool QuickTableAccessible::isRowSelected(int) const
{
    return false;
}

bool QuickTableAccessible::selectRow(int)
{
    return false;
}

bool QuickTableAccessible::selectColumn(int)
{
    return false;
}

bool QuickTableAccessible::unselectRow(int)
{
    return false;
}

bool QuickTableAccessible::unselectColumn(int)
{
    return false;
}

void QuickTableAccessible::modelChange(QAccessibleTableModelChangeEvent*)
{
    // Nothing is cached: every question walks the table as it is.
}
