#include "QuickItemAccessible.h"

#include <QQuickItem>
#include <QQuickWindow>

#include "QuickAccessibleTree.h"
#include "QuickTableAccessible.h"

namespace {
// The states QML sets through Accessible.<name>, as Qt's interface reads them.
struct AttachedState
{
    const char* name;
    void (*set)(QAccessible::State&);
};

const AttachedState kAttachedStates[] = {
    {"checkable", [](QAccessible::State& _s) { _s.checkable = true; }},
    {"checked", [](QAccessible::State& _s) { _s.checked = true; }},
    {"editable", [](QAccessible::State& _s) { _s.editable = true; }},
    {"focusable", [](QAccessible::State& _s) { _s.focusable = true; }},
    {"focused", [](QAccessible::State& _s) { _s.focused = true; }},
    {"multiLine", [](QAccessible::State& _s) { _s.multiLine = true; }},
    {"readOnly", [](QAccessible::State& _s) { _s.readOnly = true; }},
    {"selected", [](QAccessible::State& _s) { _s.selected = true; }},
    {"selectable", [](QAccessible::State& _s) { _s.selectable = true; }},
    {"pressed", [](QAccessible::State& _s) { _s.pressed = true; }},
    {"checkStateMixed", [](QAccessible::State& _s) { _s.checkStateMixed = true; }},
    {"defaultButton", [](QAccessible::State& _s) { _s.defaultButton = true; }},
    {"selectableText", [](QAccessible::State& _s) { _s.selectableText = true; }},
};

int roleOf(const QObject* _attached)
{
    return _attached ? _attached->property("role").toInt() : QAccessible::NoRole;
}

// Items a screen reader takes as one thing: their label is their name,
// their text or percentage their value.
bool isLeafRole(int _role)
{
    switch (_role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::ProgressBar:
    case QAccessible::StaticText:
    case QAccessible::Graphic:
    case QAccessible::Cell:
    case QAccessible::ColumnHeader:
    case QAccessible::RowHeader:
        return true;
    default:
        return false;
    }
}

// Whether the object's type, or a QML type it derives from, has this name.
bool isOfType(const QObject* _object, const char* _type)
{
    for (const QMetaObject* meta = _object->metaObject(); meta; meta = meta->superClass()) {
        const QByteArray name = meta->className();
        if (name == _type || name.startsWith(QByteArray(_type) + "_QMLTYPE_") ||
            name.startsWith(QByteArray(_type) + "_QML_"))
            return true;
    }
    return false;
}

// Text fields keep Qt Quick's interface, with the text a screen reader walks
// through character by character.
bool isTextField(const QObject* _object)
{
    return isOfType(_object, "QQuickTextInput") || isOfType(_object, "QQuickTextEdit") ||
           isOfType(_object, "TextField") || isOfType(_object, "TextArea");
}

// The factory answers for every item that QML sets Accessible properties
// on, whatever their values: Qt Quick asks for an item's interface the
// moment the item becomes accessible, before QML has set its role, and the
// interface made then stays. The interfaces read role and states when asked.
QAccessibleInterface* factory(const QString& _className, QObject* _object)
{
    // Asked once per class of the object's hierarchy; one answer is enough.
    if (!_object || _className != QLatin1String(_object->metaObject()->className()))
        return nullptr;
    auto* item = qobject_cast<QQuickItem*>(_object);
    if (!item || !QuickAccessibleTree::attachedOf(item) || isTextField(item))
        return nullptr;
    if (isOfType(item, "BasicTableView"))
        return new QuickTableAccessible(item);
    // A screen reader learns of a change without asking again.
    QObject::connect(item, &QQuickItem::enabledChanged, item, [item] {
        QAccessible::State changed;
        changed.disabled = true;
        QAccessibleStateChangeEvent event(item, changed);
        QAccessible::updateAccessibility(&event);
    });
    return new QuickItemAccessible(item);
}
} // namespace

QuickItemAccessible::QuickItemAccessible(QQuickItem* _item) : QAccessibleObject(_item), m_item(_item)
{}

void QuickItemAccessible::install()
{
    QAccessible::installFactory(factory);
}

QQuickItem* QuickItemAccessible::item() const
{
    return m_item.data();
}

QQuickItem* QuickItemAccessible::tableItem() const
{
    for (QQuickItem* ancestor = m_item ? m_item->parentItem() : nullptr; ancestor; ancestor = ancestor->parentItem()) {
        if (QuickAccessibleTree::isTable(ancestor))
            return ancestor;
    }
    return nullptr;
}

QWindow* QuickItemAccessible::window() const
{
    return m_item ? m_item->window() : nullptr;
}

QAccessibleInterface* QuickItemAccessible::parent() const
{
    // A cell belongs to its table, whatever lies between them.
    if (QQuickItem* table = tableItem())
        return QAccessible::queryAccessibleInterface(table);
    return QuickAccessibleTree::reportedParent(m_item);
}

QList<QQuickItem*> QuickItemAccessible::children() const
{
    // Controls, texts and cells are leaves; anything else (a group box, the
    // tool bar) holds what it shows, and nothing hidden.
    QList<QQuickItem*> shown;
    if (isLeafRole(role()))
        return shown;
    const QList<QQuickItem*> found = QuickAccessibleTree::reportedChildren(m_item);
    for (QQuickItem* child : found) {
        if (child->isVisible())
            shown.append(child);
    }
    return shown;
}

QAccessibleInterface* QuickItemAccessible::child(int _index) const
{
    const QList<QQuickItem*> shown = children();
    return _index >= 0 && _index < shown.size() ? QAccessible::queryAccessibleInterface(shown.at(_index)) : nullptr;
}

int QuickItemAccessible::childCount() const
{
    return children().size();
}

int QuickItemAccessible::indexOfChild(const QAccessibleInterface* _child) const
{
    return _child ? children().indexOf(qobject_cast<QQuickItem*>(_child->object())) : -1;
}

QString QuickItemAccessible::text(QAccessible::Text _type) const
{
    const QObject* attached = QuickAccessibleTree::attachedOf(m_item);
    switch (_type) {
    case QAccessible::Name:
        return attached ? attached->property("name").toString() : QString();
    case QAccessible::Description:
        return attached ? attached->property("description").toString() : QString();
    case QAccessible::Value:
        if (role() == QAccessible::ComboBox)
            return m_item->property("currentText").toString();
        if (role() == QAccessible::ProgressBar)
            return QString("%1%").arg(currentValue().toInt());
        return QString();
    default:
        return QString();
    }
}

QRect QuickItemAccessible::rect() const
{
    return QuickAccessibleTree::screenRect(m_item);
}

QAccessible::Role QuickItemAccessible::role() const
{
    const int role = roleOf(QuickAccessibleTree::attachedOf(m_item));
    return role == QAccessible::NoRole ? QAccessible::Client : QAccessible::Role(role);
}

QAccessible::State QuickItemAccessible::state() const
{
    QAccessible::State state;
    if (!m_item)
        return state;
    if (const QObject* attached = QuickAccessibleTree::attachedOf(m_item)) {
        for (const AttachedState& entry : kAttachedStates) {
            if (attached->property(entry.name).toBool())
                entry.set(state);
        }
    }
    const QQuickWindow* window = m_item->window();
    const QRect itemRect = rect();
    const QRect viewRect = window ? QRect(window->mapToGlobal(QPoint(0, 0)), window->size()) : QRect();
    if (!window || !window->isVisible() || itemRect.isNull() || !m_item->isVisible() || qFuzzyIsNull(m_item->opacity()))
        state.invisible = true;
    if (!viewRect.intersects(itemRect))
        state.offscreen = true;
    if (role() == QAccessible::CheckBox && m_item->property("checked").toBool())
        state.checked = true;
    if (m_item->activeFocusOnTab())
        state.focusable = true;
    if (m_item->hasActiveFocus())
        state.focused = true;
    // What Qt Quick's own interface leaves out.
    if (!m_item->isEnabled())
        state.disabled = true;
    return state;
}

void* QuickItemAccessible::interface_cast(QAccessible::InterfaceType _type)
{
    switch (_type) {
    case QAccessible::ActionInterface:
        return static_cast<QAccessibleActionInterface*>(this);
    case QAccessible::ValueInterface:
        return role() == QAccessible::ProgressBar ? static_cast<QAccessibleValueInterface*>(this) : nullptr;
    case QAccessible::TableCellInterface:
        return tableItem() ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    default:
        return QAccessibleObject::interface_cast(_type);
    }
}

QStringList QuickItemAccessible::actionNames() const
{
    QStringList names;
    if (!m_item || !m_item->isEnabled())
        return names;
    switch (role()) {
    case QAccessible::Button:
        names << pressAction();
        break;
    case QAccessible::CheckBox:
        names << toggleAction() << pressAction();
        break;
    default:
        break;
    }
    if (m_item->activeFocusOnTab())
        names << setFocusAction();
    return names;
}

void QuickItemAccessible::doAction(const QString& _name)
{
    if (!m_item || !m_item->isEnabled() || !actionNames().contains(_name))
        return;
    if (_name == setFocusAction()) {
        m_item->forceActiveFocus();
        return;
    }
    // A control of Qt Quick Controls answers its own accessible<Name>Action();
    // the window's items answer the Accessible.on<Name>Action handlers.
    const QByteArray function = "accessible" + _name.toLatin1() + "Action";
    if (m_item->metaObject()->indexOfMethod(function + "()") >= 0) {
        QMetaObject::invokeMethod(m_item, function.constData());
        return;
    }
    if (QObject* attached = QuickAccessibleTree::attachedOf(m_item)) {
        const QByteArray signal = _name == toggleAction() ? "toggleAction" : "pressAction";
        QMetaObject::invokeMethod(attached, signal.constData());
    }
}

QStringList QuickItemAccessible::keyBindingsForAction(const QString&) const
{
    return QStringList();
}

QVariant QuickItemAccessible::currentValue() const
{
    return m_item ? m_item->property("percent") : QVariant();
}

void QuickItemAccessible::setCurrentValue(const QVariant&)
{
    // A progress is shown, not set.
}

QVariant QuickItemAccessible::maximumValue() const
{
    return 100;
}

QVariant QuickItemAccessible::minimumValue() const
{
    return 0;
}

QVariant QuickItemAccessible::minimumStepSize() const
{
    return 1;
}

bool QuickItemAccessible::isSelected() const
{
    return false;
}

QList<QAccessibleInterface*> QuickItemAccessible::columnHeaderCells() const
{
    QList<QAccessibleInterface*> headers;
    auto* cells = dynamic_cast<QuickTableAccessible*>(table());
    if (cells && rowIndex() >= 0) {
        if (QAccessibleInterface* header = cells->headerAt(columnIndex()))
            headers.append(header);
    }
    return headers;
}

QList<QAccessibleInterface*> QuickItemAccessible::rowHeaderCells() const
{
    return {};
}

int QuickItemAccessible::columnIndex() const
{
    int row = -1;
    int column = -1;
    return QuickAccessibleTree::cellPosition(m_item, &row, &column) ? column : -1;
}

int QuickItemAccessible::rowIndex() const
{
    int row = -1;
    int column = -1;
    return QuickAccessibleTree::cellPosition(m_item, &row, &column) ? row : -1;
}

int QuickItemAccessible::columnExtent() const
{
    return 1;
}

int QuickItemAccessible::rowExtent() const
{
    return 1;
}

QAccessibleInterface* QuickItemAccessible::table() const
{
    QQuickItem* table = tableItem();
    return table ? QAccessible::queryAccessibleInterface(table) : nullptr;
}
