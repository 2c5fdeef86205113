#pragma once

#include <QAccessibleObject>
#include <QPointer>

class QQuickItem;

// A table of the window (a Qt Quick Controls TableView) as a screen reader
// sees it: rows and columns as the user sees them, each column with its
// header, each cell the accessible item of its delegate. Qt Quick's own
// interface hands the cells over in the order their delegates were made,
// which is not the order of the rows, and no table structure at all.
//
// Only the rows the view has made delegates for have cells; the others are
// scrolled away and have none until they are shown.
class QuickTableAccessible : public QAccessibleObject, public QAccessibleTableInterface
{
public:
    explicit QuickTableAccessible(QQuickItem* _table);

    QQuickItem* item() const;
    // The header of a column; null when it has no header item.
    QAccessibleInterface* headerAt(int _column) const;

    // QAccessibleInterface: the headers first, then the cells row by row.
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int _index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* _child) const override;
    QString text(QAccessible::Text _type) const override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType _type) override;

    // QAccessibleTableInterface. The tables have no selection.
    QAccessibleInterface* caption() const override;
    QAccessibleInterface* summary() const override;
    QAccessibleInterface* cellAt(int _row, int _column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int _column) const override;
    QString rowDescription(int _row) const override;
    int selectedColumnCount() const override;
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override;
    QList<int> selectedRows() const override;
    bool isColumnSelected(int _column) const override;
    bool isRowSelected(int _row) const override;
    bool selectRow(int _row) override;
    bool selectColumn(int _column) override;
    bool unselectRow(int _row) override;
    bool unselectColumn(int _column) override;
    void modelChange(QAccessibleTableModelChangeEvent* _event) override;

private:
    struct Entry
    {
        int row; // -1 for a header
        int column;
        QQuickItem* item;
    };
    // Every visible header and cell, headers first, then by row and column.
    QList<Entry> entries() const;

    QPointer<QQuickItem> m_table;
};
