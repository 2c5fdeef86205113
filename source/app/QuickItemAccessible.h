#pragma once

#include <QAccessibleObject>
#include <QPointer>

class QQuickItem;

// An item of the window as a screen reader sees it, where Qt Quick's own
// interface leaves out what the window needs: a disabled control is reported
// disabled, a progress bar hands over its value (0 to 100), a combo box its
// current text, a cell of a table knows its row, column and header, and a
// group holds only what it shows. Everything else (name, description, role
// and the states set from QML) comes from the item's Accessible properties,
// as with Qt's interface.
//
// The factory installed by install() gives this interface to every item
// that QML sets Accessible properties on, except text fields, and
// QuickTableAccessible to the tables.
class QuickItemAccessible : public QAccessibleObject,
                            public QAccessibleActionInterface,
                            public QAccessibleValueInterface,
                            public QAccessibleTableCellInterface
{
public:
    explicit QuickItemAccessible(QQuickItem* _item);

    // Installs the factory; from then on every item of the window that it
    // knows is reported through these interfaces.
    static void install();

    QQuickItem* item() const;

    // QAccessibleInterface
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

    // QAccessibleActionInterface
    QStringList actionNames() const override;
    void doAction(const QString& _name) override;
    QStringList keyBindingsForAction(const QString& _name) const override;

    // QAccessibleValueInterface: the percentage of a progress bar.
    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& _value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

    // QAccessibleTableCellInterface
    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override;
    int columnIndex() const override;
    int rowIndex() const override;
    int columnExtent() const override;
    int rowExtent() const override;
    QAccessibleInterface* table() const override;

private:
    QQuickItem* tableItem() const;
    // What a screen reader finds inside: nothing for a control or a cell,
    // what is shown for a group.
    QList<QQuickItem*> children() const;

    QPointer<QQuickItem> m_item;
};
