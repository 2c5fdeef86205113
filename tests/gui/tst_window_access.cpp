#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QToolTip>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "bridge/DocumentOpener.h"
#include "common/DeviceType.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "support/PseudoTerminal.h"
#include "support/WindowHarness.h"
#include "tst_window.h"

// The window without a pointer: worked with the keyboard alone, and read by
// a screen reader through Qt's own accessibility interfaces.

namespace {
struct AccessibleNode
{
    QAccessible::Role role;
    QString name;
    QString description;
    QString object;
    QAccessibleInterface* iface;
};

// The window as a screen reader walks it, through Qt's own accessibility
// interfaces: every node below the window. A hidden control has no place in
// it: it is listed in _hidden.
void collect(QAccessibleInterface* _node, QList<AccessibleNode>& _nodes, QStringList* _hidden)
{
    if (!_node)
        return;
    const QObject* object = _node->object();
    const QString described =
        object ? QString("%1 \"%2\"").arg(object->metaObject()->className(), object->objectName()) : QString();
    if (_node->state().invisible) {
        if (_hidden)
            *_hidden << described;
        return;
    }
    _nodes.append(
        {_node->role(), _node->text(QAccessible::Name), _node->text(QAccessible::Description), described, _node});
    for (int i = 0; i < _node->childCount(); ++i)
        collect(_node->child(i), _nodes, _hidden);
}

QList<AccessibleNode> accessibleTree(QWindow* _window, QStringList* _hidden = nullptr)
{
    QList<AccessibleNode> nodes;
    collect(QAccessible::queryAccessibleInterface(_window), nodes, _hidden);
    return nodes;
}

const AccessibleNode* findNode(const QList<AccessibleNode>& _nodes, QAccessible::Role _role, const QString& _name)
{
    for (const AccessibleNode& node : _nodes) {
        if (node.role == _role && node.name == _name)
            return &node;
    }
    return nullptr;
}

// The node of a named control; a highlighted button is its inner button.
const AccessibleNode* nodeOf(const QList<AccessibleNode>& _nodes, const QString& _objectName)
{
    for (const AccessibleNode& node : _nodes) {
        const QObject* object = node.iface->object();
        if (!object)
            continue;
        if (object->objectName() == _objectName || (object->objectName() == "innerButton" && object->parent() &&
                                                    object->parent()->objectName() == _objectName))
            return &node;
    }
    return nullptr;
}

// Scroll bars are drawn by the scroll views of Qt Quick Controls and read by
// their role and position; every other visible node needs a name.
QStringList unnamed(const QList<AccessibleNode>& _nodes)
{
    QStringList found;
    for (const AccessibleNode& node : _nodes) {
        if (node.role != QAccessible::ScrollBar && node.name.trimmed().isEmpty())
            found << QString("role 0x%1 %2").arg(int(node.role), 0, 16).arg(node.object);
    }
    return found;
}
} // namespace

// The window worked with the keyboard alone: Tab reaches every control and
// the help, Return and Enter press the focused button, Space selects the
// current file and the arrow keys move between files, F1 opens the manual,
// and the focus moves on when its control is disabled.
void tst_Window::keyboardWorksTheWindow()
{
    QList<QUrl> opened;
    DocumentOpener::setOpenFunction([&opened](const QUrl& _url) {
        opened.append(_url);
        return true;
    });
    const auto restore = qScopeGuard([] { DocumentOpener::setOpenFunction(nullptr); });
    if (!PseudoTerminal::isAvailable())
        QSKIP("the stick's side of the line is a pseudo-terminal");
    WindowHarness harness({true, "English", true});
    QVERIFY(harness.pty && harness.pty->isValid());
    QVERIFY(QDir().mkpath(harness.applDir.filePath("help")));
    QFile manual(harness.applDir.filePath("help/Help_en_GB.pdf"));
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.write("%PDF-1.4\n");
    manual.close();
    QVERIFY(harness.load());
    CProg2Gui* bridge = harness.bridge();
    QQuickWindow* window = harness.window();
    window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(harness.connectStick());
    QVERIFY(harness.joinNetwork(1));
    addFirmwareRows(bridge);
    QTRY_VERIFY_WITH_TIMEOUT(harness.item("flashButton")->isEnabled(), 2000);

    // Tab goes round every enabled control, the tables and the help.
    // The named control that holds the keyboard focus (the focus may lie on
    // an item inside it, such as a table's current row).
    auto focused = [window]() -> QString {
        for (QQuickItem* item = window->activeFocusItem(); item; item = item->parentItem()) {
            if (!item->objectName().isEmpty() && item->objectName() != "innerButton")
                return item->objectName();
        }
        return QString();
    };
    harness.item("langComboBox")->forceActiveFocus(Qt::TabFocusReason);
    QStringList reached;
    for (int i = 0; i < 40 && !reached.contains(focused()); ++i) {
        reached << focused();
        QTest::keyClick(window, Qt::Key_Tab);
    }
    for (const char* name : {"langComboBox", "helpButton", "infoButton", "stickJoinNewNwButton", "commonFileSelector",
                             "fileTable", "fileUpdateButton", "deviceTable", "flashButton", "helpScroll"})
        QVERIFY2(reached.contains(name), qPrintable(QString("%1 not in %2").arg(name, reached.join(", "))));
    for (const char* name : {"flashAbortButton", "applUpdateButton"})
        QVERIFY2(!reached.contains(name), name); // disabled

    // The arrow keys move between files, Space selects or deselects one.
    QQuickItem* table = harness.item("fileTable");
    table->forceActiveFocus(Qt::TabFocusReason);
    QCOMPARE(table->property("currentRow").toInt(), 0);
    FirmwareUpdateFileModel* model = bridge->fileModel();
    const int control = rowOf(model, DeviceType::ControlElement);
    for (int row = 0; row < control; ++row)
        QTest::keyClick(window, Qt::Key_Down);
    QCOMPARE(table->property("currentRow").toInt(), control);
    const bool selected = model->get(control).value("selected").toBool();
    QTest::keyClick(window, Qt::Key_Space);
    QCOMPARE(model->get(control).value("selected").toBool(), !selected);
    QTest::keyClick(window, Qt::Key_Space);
    QCOMPARE(model->get(control).value("selected").toBool(), selected);

    // F1 opens the manual, wherever the focus is.
    QTest::keyClick(window, Qt::Key_F1);
    QCOMPARE(opened.size(), 1);
    QVERIFY(opened.first().toLocalFile().endsWith("/help/Help_en_GB.pdf"));

    // Return presses the focused button; the button is disabled by what it
    // started, and the focus moves on to the next enabled control.
    harness.item("flashButton")->findChild<QQuickItem*>("innerButton")->forceActiveFocus(Qt::TabFocusReason);
    QCOMPARE(focused(), QString("flashButton"));
    QTest::keyClick(window, Qt::Key_Return);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateDeviceUpdate);
    QTRY_COMPARE_WITH_TIMEOUT(focused(), QString("flashAbortButton"), 2000);
    QTest::keyClick(window, Qt::Key_Enter);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QTRY_VERIFY_WITH_TIMEOUT(window->activeFocusItem() && window->activeFocusItem()->isEnabled() &&
                                 window->activeFocusItem()->activeFocusOnTab() && focused() != "flashAbortButton",
                             2000);

    // The help box scrolls with the keys when its help is taller than it.
    window->resize(1024, 700);
    QQuickItem* scroll = harness.item("helpScroll");
    auto* flickable = scroll->property("flickableItem").value<QQuickItem*>();
    QVERIFY(flickable);
    QTRY_VERIFY_WITH_TIMEOUT(flickable->property("contentHeight").toReal() > flickable->height(), 2000);
    scroll->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(window, Qt::Key_PageDown);
    QVERIFY(flickable->property("contentY").toReal() > 0);
    QTest::keyClick(window, Qt::Key_Home);
    QCOMPARE(flickable->property("contentY").toReal(), 0.0);
    QTest::keyClick(window, Qt::Key_Down);
    QVERIFY(flickable->property("contentY").toReal() > 0);
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

void tst_Window::screenReaderReadsTheWindow_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("texts");
    // Status, network, address title, progress, check mark, failure, row
    // selection, version change, device run, hint in the help, the
    // language box.
    QTest::newRow("English") << "English"
                             << QStringList{
                                    "Status: connected",
                                    "Network: joined ( Ch: 11 | Addr: 1a2b )",
                                    "Address",
                                    "Progress",
                                    "Updated",
                                    "Failed, will be tried again",
                                    "Select for download",
                                    "V0.9.0 update to V1.0.0",
                                    "Device update",
                                    "Note: The update can be started even if all devices are not yet displayed.",
                                    "Language"};
    QTest::newRow("German") << "Deutsch"
                            << QStringList{"Status: verbunden",
                                           "Netzwerk: beigetreten ( Kanal: 11 | Adr.: 1a2b )",
                                           "Adresse",
                                           "Fortschritt",
                                           "Aktualisiert",
                                           "Fehlgeschlagen, wird erneut versucht",
                                           "Zum Herunterladen auswählen",
                                           "V0.9.0 Aktualisierung auf V1.0.0",
                                           "Geräteaktualisierung",
                                           "Hinweis: Die Aktualisierung kann beginnen, auch wenn noch nicht alle "
                                           "Geräte angezeigt werden.",
                                           "Sprache"};
}

// What a screen reader finds: every visible control named in the window's
// language and no hidden one; disabled controls as disabled; the values of
// the stick, the progress bars (as values from 0 to 100) and the language
// box; both tables as tables, row by row as shown, with their headers; the
// pictures that tell a result; the help; the program information; and the
// extended address of a device, shown to the pointer as the address's tooltip.
void tst_Window::screenReaderReadsTheWindow()
{
    QFETCH(QString, language);
    QFETCH(QStringList, texts);
    QAccessible::setActive(true);
    const auto inactive = qScopeGuard([] { QAccessible::setActive(false); });
    if (!PseudoTerminal::isAvailable())
        QSKIP("the stick's side of the line is a pseudo-terminal");
    WindowHarness harness({true, language, true});
    QVERIFY(harness.pty && harness.pty->isValid());
    QVERIFY(QDir().mkpath(harness.applDir.filePath("licence")));
    QFile licence(harness.applDir.filePath("licence/licence_en_GB.txt"));
    QVERIFY(licence.open(QIODevice::WriteOnly));
    licence.write("Licence of the tool\n");
    licence.close();
    QVERIFY(harness.load());
    QCOMPARE(harness.bridge()->property("lang").toString(), language);
    CProg2Gui* bridge = harness.bridge();
    QVERIFY(harness.connectStick());
    QVERIFY(harness.joinNetwork(1));
    addFirmwareRows(bridge);
    ZigBeeDeviceModel* devices = bridge->deviceModel();
    devices->addZigBeeDevice(0x1a01, DeviceType::WallTransmitter, parseVersion("2.0.0"), 0x0011223344556677ull);
    devices->addZigBeeDevice(0x3c03, DeviceType::ControlElement, parseVersion("0.9.0"), 0x0807060504030201ull);
    devices->addZigBeeDevice(0x4d04, DeviceType::IntermediatePlug, parseVersion("1.0.0"));
    devices->setProgress(devices->rowOf(0x3c03), 620);
    devices->setDone(devices->rowOf(0x1a01), ProgressHelper::eResultSuccess);
    devices->setDone(devices->rowOf(0x4d04), ProgressHelper::eResultFail);
    // The tables make their rows when they are next drawn.
    QTRY_VERIFY_WITH_TIMEOUT(findNode(accessibleTree(harness.window()), QAccessible::Cell, "4d04"), 3000);

    QStringList hidden;
    QList<AccessibleNode> nodes = accessibleTree(harness.window(), &hidden);
    QVERIFY2(hidden.isEmpty(), qPrintable("hidden, but in the tree:\n" + hidden.join('\n')));
    QVERIFY2(unnamed(nodes).isEmpty(), qPrintable("without a name:\n" + unnamed(nodes).join('\n')));
    QVERIFY(findNode(nodes, QAccessible::StaticText, texts.at(0)));
    QVERIFY(findNode(nodes, QAccessible::StaticText, texts.at(1)));
    QVERIFY(findNode(nodes, QAccessible::StaticText, bridge->getText(CProg2Gui::DeviceCountTxt_ValId)));
    QVERIFY(findNode(nodes, QAccessible::ColumnHeader, texts.at(2)));
    const AccessibleNode* address = findNode(nodes, QAccessible::Cell, "3c03");
    QVERIFY(address);
    QCOMPARE(address->description, QString("08:07:06:05:04:03:02:01"));
    const AccessibleNode* progress = findNode(nodes, QAccessible::ProgressBar, texts.at(3));
    QVERIFY(progress);
    QAccessibleValueInterface* value = progress->iface->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->currentValue().toInt(), 62);
    QCOMPARE(value->minimumValue().toInt(), 0);
    QCOMPARE(value->maximumValue().toInt(), 100);
    QVERIFY(findNode(nodes, QAccessible::Graphic, texts.at(4)));
    QVERIFY(findNode(nodes, QAccessible::Graphic, texts.at(5)));
    QVERIFY(findNode(nodes, QAccessible::CheckBox, texts.at(6)));
    QVERIFY(findNode(nodes, QAccessible::Cell, texts.at(7)));
    bool helpFound = false;
    for (const AccessibleNode& node : nodes)
        helpFound = helpFound || (node.role == QAccessible::StaticText && node.name.contains(texts.at(9)));
    QVERIFY2(helpFound, qPrintable("no help text with: " + texts.at(9)));
    const AccessibleNode* languages = findNode(nodes, QAccessible::ComboBox, texts.at(10));
    QVERIFY(languages);
    QCOMPARE(languages->iface->text(QAccessible::Value), language);

    // Enabled and disabled as shown.
    for (const char* name :
         {"flashButton", "flashAbortButton", "fileUpdateButton", "stickUpdateButton", "infoButton"}) {
        const AccessibleNode* button = nodeOf(nodes, name);
        QVERIFY2(button, name);
        QCOMPARE(button->role, QAccessible::Button);
        QCOMPARE(button->iface->state().disabled, !harness.item(name)->isEnabled());
    }
    QVERIFY(nodeOf(nodes, "flashAbortButton")->iface->state().disabled);
    QVERIFY(!nodeOf(nodes, "flashButton")->iface->state().disabled);

    // The device table, row by row as the model orders the devices, each
    // cell with its column's header; the cells come in the same order.
    const AccessibleNode* table = nodeOf(nodes, "deviceTable");
    QVERIFY(table);
    QAccessibleTableInterface* cells = table->iface->tableInterface();
    QVERIFY(cells);
    QCOMPARE(cells->rowCount(), devices->rowCount());
    QCOMPARE(cells->columnCount(), 5);
    QCOMPARE(cells->columnDescription(1), texts.at(2));
    QVERIFY(!cells->columnDescription(4).isEmpty()); // the untitled result column
    for (int row = 0; row < devices->rowCount(); ++row) {
        QAccessibleInterface* cell = cells->cellAt(row, 1);
        QVERIFY(cell);
        const QString shortAddress = devices->data(devices->index(row), devices->roleNames().key("name")).toString();
        QCOMPARE(cell->text(QAccessible::Name), shortAddress);
        QAccessibleTableCellInterface* place = cell->tableCellInterface();
        QVERIFY(place);
        QCOMPARE(place->rowIndex(), row);
        QCOMPARE(place->columnIndex(), 1);
        QCOMPARE(place->columnHeaderCells().value(0) ? place->columnHeaderCells().first()->text(QAccessible::Name)
                                                     : QString(),
                 texts.at(2));
    }
    int lastRow = -1;
    int lastColumn = -1;
    for (int i = 0; i < table->iface->childCount(); ++i) {
        QAccessibleTableCellInterface* place = table->iface->child(i)->tableCellInterface();
        if (!place)
            continue;
        const bool inOrder =
            place->rowIndex() > lastRow || (place->rowIndex() == lastRow && place->columnIndex() > lastColumn);
        QVERIFY2(inOrder, qPrintable(QString("cell %1,%2 after %3,%4")
                                         .arg(place->rowIndex())
                                         .arg(place->columnIndex())
                                         .arg(lastRow)
                                         .arg(lastColumn)));
        lastRow = place->rowIndex();
        lastColumn = place->columnIndex();
    }
    // The file table: the first column selects, with its state.
    const AccessibleNode* files = nodeOf(nodes, "fileTable");
    QVERIFY(files && files->iface->tableInterface());
    FirmwareUpdateFileModel* model = bridge->fileModel();
    const int control = rowOf(model, DeviceType::ControlElement);
    QAccessibleInterface* select = files->iface->tableInterface()->cellAt(control, 0);
    QVERIFY(select);
    QCOMPARE(select->role(), QAccessible::CheckBox);
    QVERIFY(select->state().checkable);
    QCOMPARE(select->state().checked, model->get(control).value("selected").toBool());

    // A device update run: its combined bar with the bridge's figures.
    QVERIFY(harness.click(harness.item("flashButton")));
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateDeviceUpdate);
    QSignalSpy ticks(harness.find("deviceProgressTimer"), SIGNAL(triggered()));
    QVERIFY(ticks.wait(2000));
    nodes = accessibleTree(harness.window());
    QVERIFY2(unnamed(nodes).isEmpty(), qPrintable("without a name:\n" + unnamed(nodes).join('\n')));
    const AccessibleNode* run = findNode(nodes, QAccessible::ProgressBar, texts.at(8));
    QVERIFY(run);
    QCOMPARE(run->iface->valueInterface()->currentValue().toInt(),
             bridge->iGetVal(CProg2Gui::DeviceCombinedProgressPercent_ValId) / 10);
    QCOMPARE(run->description, bridge->getText(CProg2Gui::DeviceCombinedProgressText_ValId));
    QVERIFY(nodeOf(nodes, "flashButton")->iface->state().disabled);
    QVERIFY(!nodeOf(nodes, "flashAbortButton")->iface->state().disabled);

    // The pointer resting on the address shows the extended one.
    QQuickItem* cell = nullptr;
    for (QQuickItem* text : harness.items("cellText")) {
        if (text->isVisible() && text->property("text").toString() == "3c03")
            cell = text;
    }
    QVERIFY(cell);
    QTest::mouseMove(harness.window(), cell->mapToScene(QPointF(cell->width() / 2, cell->height() / 2)).toPoint());
    QTRY_COMPARE_WITH_TIMEOUT(QToolTip::text(), QString("08:07:06:05:04:03:02:01"), 3000);

    // The program information: the tool's name, version and copyright, and
    // the licence text under a name of its own.
    auto* about = qobject_cast<QQuickWindow*>(harness.find("aboutDialog"));
    QVERIFY(about);
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    const QList<AccessibleNode> information = accessibleTree(about);
    QVERIFY2(unnamed(information).isEmpty(), qPrintable("without a name:\n" + unnamed(information).join('\n')));
    QVERIFY(findNode(information, QAccessible::StaticText, bridge->getText(CProg2Gui::ApplName_ValId)));
    QVERIFY(findNode(information, QAccessible::StaticText, bridge->getText(CProg2Gui::ApplCopyright_ValId)));
    bool versionFound = false;
    const AccessibleNode* licenceText = nullptr;
    for (const AccessibleNode& node : information) {
        versionFound = versionFound || (node.role == QAccessible::StaticText &&
                                        node.name.endsWith(bridge->getText(CProg2Gui::ApplActVersion_ValId)));
        if (node.role == QAccessible::EditableText)
            licenceText = &node;
    }
    QVERIFY(versionFound);
    QVERIFY(licenceText);
    QVERIFY(!licenceText->name.isEmpty());
    QVERIFY(licenceText->iface->text(QAccessible::Value).startsWith("Licence of the tool"));
    about->close();
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}
