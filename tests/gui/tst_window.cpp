#include <QAccessible>
#include <QApplication>
#include <QCryptographicHash>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QSerialPort>
#include <QToolTip>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "bridge/DocumentOpener.h"
#include "common/DeviceType.h"
#include "common/common.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"
#include "support/DevelopmentSigner.h"
#include "support/StickFrames.h"
#include "support/WindowHarness.h"

// The real window on its real bridge: what it shows follows the bridge, and
// what the user does reaches the bridge.
class tst_Window : public QObject
{
    Q_OBJECT
private slots:
    void loadsCleanWithEveryNamedControl_data();
    void loadsCleanWithEveryNamedControl();
    void buttonsFollowTheBridge();
    void pendingToolUpdateBlinksFromTheStart();
    void allFilesBox_data();
    void allFilesBox();
    void rowSelectionPicture_data();
    void rowSelectionPicture();
    void languageBox_data();
    void languageBox();
    void switchingToGermanChangesTheTexts();
    void deviceProgressTimerStopsWhenTheRunEnds();
    void stickUpdateProgress();
    void programInformationAndErrorDialogs();
    void keyboardWorksTheWindow();
    void portHeldByAnotherProgram();
    void screenReaderReadsTheWindow_data();
    void screenReaderReadsTheWindow();

private:
    // Two firmware rows with a pending update (types 1 and 4) and one without (type 2).
    static void addFirmwareRows(CProg2Gui* _bridge);
    static int selectedCount(CProg2Gui* _bridge);
    static int rowOf(FirmwareUpdateFileModel* _model, quint16 _devType);
    static QQuickItem* selectionCell(const WindowHarness& _harness, int _row);
};

namespace {
const char* const kNamedControls[] = {
    "applUpdateButton",    "stickJoinNewNwButton",
    "stickUpdateButton",   "commonFileSelector",
    "serverErrorTxt",      "fileUpdateButton",
    "deviceCountTxt",      "flashButton",
    "flashAbortButton",    "langComboBox",
    "fileTable",           "deviceTable",
    "deviceProgressTimer", "helpTxt",
    "stickProgress",       "reportButton",
};

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

bool isTransparent(QQuickItem* _frame)
{
    return _frame->property("color").value<QColor>().alpha() == 0;
}
} // namespace

void tst_Window::addFirmwareRows(CProg2Gui* _bridge)
{
    FirmwareUpdateFileModel* model = _bridge->fileModel();
    model->addFirmwareFile(DeviceType::ControlElement, "1.0.0", "ctl_100.ota", 600);
    model->addFirmwareFile(DeviceType::WallTransmitter, "2.0.0", "wall_200.ota", 600);
    model->addFirmwareFile(DeviceType::IntermediatePlug, "1.4.0", "plug_140.ota", 600);
    model->findByDevType(DeviceType::ControlElement)->setUpdateInfo(parseVersion("1.1.0"), "ctl_110.ota");
    model->findByDevType(DeviceType::IntermediatePlug)->setUpdateInfo(parseVersion("1.5.2"), "plug_152.ota");
    model->updateRow(DeviceType::ControlElement);
    model->updateRow(DeviceType::IntermediatePlug);
    // The repaint set, as after the update index has been read.
    _bridge->setSysState(CProg2Gui::SysStateIdle);
}

int tst_Window::selectedCount(CProg2Gui* _bridge)
{
    FirmwareUpdateFileModel* model = _bridge->fileModel();
    int count = 0;
    for (int row = 0; row < model->rowCount(); ++row)
        count += model->get(row).value("selected").toBool() ? 1 : 0;
    return count;
}

int tst_Window::rowOf(FirmwareUpdateFileModel* _model, quint16 _devType)
{
    const QString name = DeviceType::deviceTypeName(_devType);
    for (int row = 0; row < _model->rowCount(); ++row) {
        if (_model->get(row).value("name").toString().contains(name))
            return row;
    }
    return -1;
}

QQuickItem* tst_Window::selectionCell(const WindowHarness& _harness, int _row)
{
    const QList<QQuickItem*> cells = _harness.items("fileSelectCell");
    for (QQuickItem* cell : cells) {
        if (cell->isVisible() && cell->property("row").toInt() == _row)
            return cell;
    }
    return nullptr;
}

void tst_Window::loadsCleanWithEveryNamedControl_data()
{
    QTest::addColumn<bool>("translations");
    QTest::newRow("without translations") << false;
    QTest::newRow("with translations") << true;
}

void tst_Window::loadsCleanWithEveryNamedControl()
{
    QFETCH(bool, translations);
    WindowHarness harness({translations, "English", false});
    QVERIFY(harness.load());
    QVERIFY(harness.bridge());
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));

    for (const char* name : kNamedControls)
        QVERIFY2(harness.find(name), name);
    QCOMPARE(harness.window()->title(), QString("Vandrel Lumoran Tool"));
    // The window tells the bridge it is complete.
    QVERIFY(harness.bridge()->property("initCompleted").toBool());
    // The help box shows the first step: no stick yet.
    QVERIFY(harness.item("helpTxt")->property("text").toString().contains("qrc:/pic/help_stick"));
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

// Every button reads its enabled state and its blinking from the bridge, and
// reads them again on the bridge's repaint signals.
void tst_Window::buttonsFollowTheBridge()
{
    WindowHarness harness({});
    QVERIFY(harness.load());
    CProg2Gui* bridge = harness.bridge();
    QVERIFY(bridge);

    const QList<QPair<QString, CProg2Gui::ValId_t>> buttons{
        {"flashButton", CProg2Gui::DeviceUpdateButton_ValId},
        {"flashAbortButton", CProg2Gui::DeviceAbortButton_ValId},
        {"fileUpdateButton", CProg2Gui::FileUpdateButton_ValId},
        {"stickUpdateButton", CProg2Gui::StickUpdateButtonEnabled_ValId},
        {"stickJoinNewNwButton", CProg2Gui::StickJoinNewNwButtonEnabled_ValId},
        {"applUpdateButton", CProg2Gui::ApplUpdateButton_ValId},
    };
    auto checkAgainstBridge = [&](const QStringList& _enabled) {
        for (const auto& button : buttons) {
            QQuickItem* item = harness.item(button.first);
            if (!item)
                return QString("missing %1").arg(button.first);
            const bool shown = item->isEnabled();
            if (shown != bridge->boGetVal(button.second))
                return QString("%1 shows %2, the bridge says otherwise").arg(button.first).arg(shown);
            if (shown != _enabled.contains(button.first))
                return QString("%1 enabled: %2").arg(button.first).arg(shown);
        }
        return QString();
    };

    // Idle without a stick and without an update: nothing to do.
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QCOMPARE(checkAgainstBridge({}), QString());
    QQuickItem* download = harness.item("fileUpdateButton");
    QCOMPARE(download->state(), QString("normal"));
    QVERIFY(isTransparent(download));

    // Selected files with an update: the download is the next step and blinks.
    addFirmwareRows(bridge);
    QCOMPARE(checkAgainstBridge({"fileUpdateButton"}), QString());
    QCOMPARE(download->state(), QString("highlighted"));
    QTRY_VERIFY_WITH_TIMEOUT(!isTransparent(download), 3000);
    QCOMPARE(harness.item("flashButton")->state(), QString("normal"));

    // A device update run: only the cancel button, nothing blinks.
    bridge->setSysState(CProg2Gui::SysStateDeviceUpdate);
    QCOMPARE(checkAgainstBridge({"flashAbortButton"}), QString());
    QCOMPARE(download->state(), QString("normal"));
    QVERIFY(isTransparent(download));
    QVERIFY(harness.item("combinedProgress")->isVisible());

    // A download: only the cancel button again.
    bridge->setSysState(CProg2Gui::SysStateUpdateDownload);
    QCOMPARE(checkAgainstBridge({"flashAbortButton"}), QString());
    QVERIFY(!harness.item("combinedProgress")->isVisible());

    bridge->setSysState(CProg2Gui::SysStateIdle);
    QCOMPARE(checkAgainstBridge({"fileUpdateButton"}), QString());
    QCOMPARE(download->state(), QString("highlighted"));
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

// A tool package held from an earlier run: the tool update is the next step
// the moment the window appears, before any repaint signal.
void tst_Window::pendingToolUpdateBlinksFromTheStart()
{
    if (!DevelopmentSigner::embeddedKeyIsDevelopmentKey())
        QSKIP("this build embeds a release key; a package signed with the development key cannot verify");
    WindowHarness harness({});
    QVERIFY(QDir().mkpath(getUpdatePath()));
    // Offered only with its signature.
    QVERIFY(DevelopmentSigner().writeFile(getUpdatePath(), "tool_130.bin", "new tool"));
    {
        QSettings backup(getUpdatePath() + "/backup.ini", QSettings::IniFormat);
        backup.setValue("devices/known_devices", QStringList{"9999"});
        backup.setValue("9999/id", 9999);
        backup.setValue("9999/ver", "1.3.0");
        backup.setValue("9999/file", "tool_130.bin");
    }
    QVERIFY(harness.load());
    QQuickItem* button = harness.item("applUpdateButton");
    QVERIFY(button);
    QVERIFY(button->isEnabled());
    QCOMPARE(button->state(), QString("highlighted"));
    QTRY_VERIFY_WITH_TIMEOUT(!isTransparent(button), 3000);
    QVERIFY(harness.item("applVersionTxt")->property("text").toString().contains("1.3.0"));
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

void tst_Window::allFilesBox_data()
{
    QTest::addColumn<int>("sysState");
    QTest::addColumn<bool>("changes");
    QTest::newRow("idle") << int(CProg2Gui::SysStateIdle) << true;
    QTest::newRow("during the download") << int(CProg2Gui::SysStateUpdateDownload) << false;
}

void tst_Window::allFilesBox()
{
    QFETCH(int, sysState);
    QFETCH(bool, changes);
    WindowHarness harness({});
    QVERIFY(harness.load());
    CProg2Gui* bridge = harness.bridge();
    addFirmwareRows(bridge);
    QQuickItem* box = harness.item("commonFileSelector");
    QVERIFY(box);

    // New rows come selected: every row with an update is selected.
    QCOMPARE(bridge->iGetVal(CProg2Gui::FirmwareSelectState_ValId), 2);
    QCOMPARE(box->property("checkedState").toInt(), int(Qt::Checked));
    const int selectedBefore = selectedCount(bridge);

    bridge->setSysState(CProg2Gui::SysState_t(sysState));
    QVERIFY(harness.click(box));
    const int expectedState = changes ? 0 : 2;
    QCOMPARE(bridge->iGetVal(CProg2Gui::FirmwareSelectState_ValId), expectedState);
    QCOMPARE(box->property("checkedState").toInt(), expectedState);
    if (!changes)
        QCOMPARE(selectedCount(bridge), selectedBefore);

    // One of the two rows toggled by hand: partly checked.
    bridge->setSysState(CProg2Gui::SysStateIdle);
    FirmwareUpdateFileModel* model = bridge->fileModel();
    const int row = rowOf(model, DeviceType::ControlElement);
    model->setSelectable(row, !model->get(row).value("selected").toBool());
    QCOMPARE(bridge->iGetVal(CProg2Gui::FirmwareSelectState_ValId), 1);
    QCOMPARE(box->property("checkedState").toInt(), int(Qt::PartiallyChecked));
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

void tst_Window::rowSelectionPicture_data()
{
    QTest::addColumn<quint16>("devType");
    QTest::addColumn<int>("sysState");
    QTest::addColumn<bool>("changes");
    QTest::newRow("row with update, idle")
        << quint16(DeviceType::ControlElement) << int(CProg2Gui::SysStateIdle) << true;
    QTest::newRow("row without update") << quint16(DeviceType::WallTransmitter) << int(CProg2Gui::SysStateIdle)
                                        << false;
    QTest::newRow("row with update, during the download")
        << quint16(DeviceType::IntermediatePlug) << int(CProg2Gui::SysStateUpdateDownload) << false;
}

void tst_Window::rowSelectionPicture()
{
    QFETCH(quint16, devType);
    QFETCH(int, sysState);
    QFETCH(bool, changes);
    WindowHarness harness({});
    QVERIFY(harness.load());
    CProg2Gui* bridge = harness.bridge();
    addFirmwareRows(bridge);
    FirmwareUpdateFileModel* model = bridge->fileModel();
    const int row = rowOf(model, devType);
    QVERIFY(row >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(selectionCell(harness, row), 3000);
    QQuickItem* cell = selectionCell(harness, row);
    QQuickItem* picture = cell->findChild<QQuickItem*>("fileSelectImage");
    QVERIFY(picture);
    QCOMPARE(picture->property("source").toUrl().toString(), model->get(row).value("imgSource").toString());

    const bool before = model->get(row).value("selected").toBool();
    const QString pictureBefore = model->get(row).value("imgSource").toString();
    bridge->setSysState(CProg2Gui::SysState_t(sysState));
    QVERIFY(harness.click(cell));
    QCOMPARE(model->get(row).value("selected").toBool(), changes ? !before : before);
    const QString pictureAfter = model->get(row).value("imgSource").toString();
    QCOMPARE(pictureAfter != pictureBefore, changes);
    QTRY_COMPARE_WITH_TIMEOUT(picture->property("source").toUrl().toString(), pictureAfter, 2000);
    if (changes) {
        // The "All Files" box and the download button follow the new selection.
        QCOMPARE(harness.item("commonFileSelector")->property("checkedState").toInt(),
                 bridge->iGetVal(CProg2Gui::FirmwareSelectState_ValId));
        QCOMPARE(harness.item("commonFileSelector")->property("checkedState").toInt(), int(Qt::PartiallyChecked));
    }
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

void tst_Window::languageBox_data()
{
    QTest::addColumn<bool>("translations");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("shown");
    QTest::newRow("without translations") << false << false << 0 << "";
    QTest::newRow("with translations") << true << true << 2 << "English";
}

void tst_Window::languageBox()
{
    QFETCH(bool, translations);
    QFETCH(bool, enabled);
    QFETCH(int, count);
    QFETCH(QString, shown);
    WindowHarness harness({translations, "English", false});
    QVERIFY(harness.load());
    QQuickItem* box = harness.item("langComboBox");
    QVERIFY(box);
    QCOMPARE(box->isEnabled(), enabled);
    QCOMPARE(box->property("count").toInt(), count);
    QCOMPARE(box->property("currentText").toString(), shown);
    QCOMPARE(harness.bridge()->property("lang").toString(), shown);
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

// The labels the manual quotes are the ones the window shows.
void tst_Window::switchingToGermanChangesTheTexts()
{
    struct Label
    {
        const char* objectName;
        const char* property;
        QString english;
        QString german;
    };
    const Label labels[] = {
        {"fileUpdateButton", "text", "Download", "Herunterladen"},
        {"stickUpdateButton", "text", "Update Stick", "Stick aktualisieren"},
        {"stickJoinNewNwButton", "text", "Join new network", "Neues Netzwerk beitreten"},
        {"flashButton", "text", "Update Devices", "Geräte aktualisieren"},
        {"flashAbortButton", "text", "Cancel", "Abbrechen"},
        {"reportButton", "text", "Report…", "Bericht…"},
        {"applUpdateButton", "text", "Update Tool", "Tool aktualisieren"},
        {"infoButton", "text", "Info...", "Info..."},
        {"commonFileSelector", "text", "All Files", "Alle Dateien"},
        {"filesBox", "title", "Files", "Dateien"},
        {"deviceBox", "title", "Devices", "Geräte"},
        {"helpBox", "title", "Help", "Hilfe"},
    };
    WindowHarness harness({true, "English", false});
    QVERIFY(harness.load());
    auto mismatches = [&](bool _german) {
        QStringList wrong;
        for (const Label& label : labels) {
            QObject* object = harness.find(label.objectName);
            const QString shown = object ? object->property(label.property).toString() : QString("(missing)");
            const QString wanted = _german ? label.german : label.english;
            if (shown != wanted)
                wrong
                    << QString("%1.%2: \"%3\" instead of \"%4\"").arg(label.objectName, label.property, shown, wanted);
        }
        return wrong.join('\n');
    };
    auto toolRowShown = [&](const QString& _name) {
        const QList<QQuickItem*> cells = harness.items("cellText");
        for (QQuickItem* cell : cells) {
            if (cell->isVisible() && cell->property("text").toString().contains(_name))
                return true;
        }
        return false;
    };
    CProg2Gui* bridge = harness.bridge();
    QQuickItem* box = harness.item("langComboBox");
    const QString englishCount = harness.item("deviceCountTxt")->property("text").toString();
    const QString englishTool = DeviceType::deviceTypeName(DeviceType::Tool);
    QCOMPARE(mismatches(false), QString());
    QTRY_VERIFY_WITH_TIMEOUT(toolRowShown(englishTool), 2000);
    QCOMPARE(harness.cutTexts(), QStringList());

    // As the user picks it from the box.
    int german = -1;
    for (int i = 0; i < bridge->iGetVal(CProg2Gui::LangCount_ValId); ++i) {
        if (bridge->getLang(i) == "Deutsch")
            german = i;
    }
    QVERIFY(german >= 0);
    box->setProperty("currentIndex", german);
    QCOMPARE(bridge->property("lang").toString(), QString("Deutsch"));
    QCOMPARE(getSettings()->value("applSettings/lang").toString(), QString("Deutsch"));
    QCOMPARE(mismatches(true), QString());
    QCOMPARE(harness.window()->title(), QString("Vandrel Lumoran Tool"));
    // Texts built by the bridge and its models are read again as well.
    const QString germanCount = harness.item("deviceCountTxt")->property("text").toString();
    QCOMPARE(germanCount, bridge->getText(CProg2Gui::DeviceCountTxt_ValId));
    QVERIFY(germanCount != englishCount);
    const QString germanTool = DeviceType::deviceTypeName(DeviceType::Tool);
    QVERIFY(germanTool != englishTool);
    QTRY_VERIFY_WITH_TIMEOUT(toolRowShown(germanTool), 2000);
    // The longer German titles widen their columns and buttons.
    QCOMPARE(harness.cutTexts(), QStringList());

    box->setProperty("currentIndex", 1 - german);
    QCOMPARE(bridge->property("lang").toString(), QString("English"));
    QCOMPARE(mismatches(false), QString());
    QCOMPARE(harness.item("deviceCountTxt")->property("text").toString(), englishCount);
    QTRY_VERIFY_WITH_TIMEOUT(toolRowShown(englishTool), 2000);
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

// The window polls the run's figures while it lasts; a run that ends without
// the cancel button (the device list ends it) stops the polling too.
void tst_Window::deviceProgressTimerStopsWhenTheRunEnds()
{
    if (!PseudoTerminal::isAvailable())
        QSKIP("the stick's side of the line is a pseudo-terminal");
    WindowHarness harness({false, {}, true});
    QVERIFY(harness.pty && harness.pty->isValid());
    QVERIFY(harness.load());
    CProg2Gui* bridge = harness.bridge();
    QVERIFY(harness.connectStick());
    QVERIFY(harness.joinNetwork(1));

    QQuickItem* flash = harness.item("flashButton");
    QQuickItem* abort = harness.item("flashAbortButton");
    QQuickItem* progress = harness.item("combinedProgress");
    QObject* timer = harness.find("deviceProgressTimer");
    QVERIFY(flash && abort && progress && timer);
    QTRY_VERIFY_WITH_TIMEOUT(flash->isEnabled(), 2000);
    QCOMPARE(flash->state(), QString("highlighted"));
    QVERIFY(!timer->property("running").toBool());
    QVERIFY(!progress->isVisible());

    QVERIFY(harness.click(flash));
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateDeviceUpdate);
    QVERIFY(timer->property("running").toBool());
    QVERIFY(progress->isVisible());
    QVERIFY(abort->isEnabled());
    QVERIFY(!flash->isEnabled());

    // A device joins the run; the poll shows it without any repaint signal.
    QSignalSpy ticks(timer, SIGNAL(triggered()));
    bridge->deviceModel()->addZigBeeDevice(0x4711, DeviceType::ControlElement, parseVersion("1.0.0"));
    QVERIFY(ticks.wait(2000));
    QVERIFY(timer->property("running").toBool());
    QCOMPARE(harness.item("combinedProgressTxt")->property("text").toString(),
             bridge->getText(CProg2Gui::DeviceCombinedProgressText_ValId));
    QCOMPARE(harness.item("deviceCountTxt")->property("text").toString(),
             bridge->getText(CProg2Gui::DeviceCountTxt_ValId));

    // The minimum search time has passed and nothing is left to update.
    ZigBeeDeviceModel* devices = bridge->deviceModel();
    devices->supervise(devices->startTime().addSecs(ZigBeeDeviceModel::kMinSearchSeconds + 1));
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QTRY_VERIFY_WITH_TIMEOUT(!timer->property("running").toBool(), 2000);
    QVERIFY(!progress->isVisible());
    QVERIFY(!abort->isEnabled());
    QVERIFY(flash->isEnabled());
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

// The stick's own update, started with the button: the bar appears at 0 %
// and is full at 100 % once every block has been served.
void tst_Window::stickUpdateProgress()
{
    if (!PseudoTerminal::isAvailable())
        QSKIP("the stick's side of the line is a pseudo-terminal");
    WindowHarness harness({false, {}, true});
    QVERIFY(harness.pty && harness.pty->isValid());
    QVERIFY(harness.load());
    CProg2Gui* bridge = harness.bridge();
    QVERIFY(harness.connectStick());
    QVERIFY(harness.joinNetwork(1));

    QVERIFY(QDir().mkpath(getUpdatePath()));
    QFile image(getUpdatePath() + "/stick.ota");
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write(QByteArray(100, 'S'));
    image.close();
    bridge->fileModel()->addFirmwareFile(DeviceType::UsbStick, "2.0.0", "stick.ota", 0);
    bridge->fileModel()->findByDevType(DeviceType::UsbStick)->m_fileDigest =
        HeldFileDigest(100, QCryptographicHash::hash(QByteArray(100, 'S'), QCryptographicHash::Sha256).toHex());
    bridge->stickInterface()->setStickUpdateInfo(0x020000, "stick.ota");
    // The stick reports its present version, older than the file.
    QVERIFY(!harness.sendToStick(StickFrames::queryNextImage(2, 0x1a2b, 6, 0x010000)).isEmpty());

    QQuickItem* bar = harness.item("stickProgress");
    QQuickItem* percent = harness.item("stickProgressTxt");
    QQuickItem* button = harness.item("stickUpdateButton");
    QVERIFY(bar && percent && button);
    QCOMPARE(bar->property("value").toInt(), -1);
    QVERIFY(!bar->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 2000);

    QVERIFY(harness.click(button));
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateStickUpdate);
    QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible(), 2000);
    QCOMPARE(percent->property("text").toString(), QString("0%"));

    QVERIFY(!harness.sendToStick(StickFrames::queryNextImage(3, 0x1a2b, 6, 0x010000)).isEmpty());
    QVERIFY(!harness.sendToStick(StickFrames::imageBlock(4, 0x1a2b, 6, 0, 40, StickFrames::kManufacturer, 0x020000))
                 .isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(percent->property("text").toString(), QString("40%"), 2000);
    QVERIFY(!harness.sendToStick(StickFrames::imageBlock(5, 0x1a2b, 6, 40, 40, StickFrames::kManufacturer, 0x020000))
                 .isEmpty());
    QVERIFY(!harness.sendToStick(StickFrames::imageBlock(6, 0x1a2b, 6, 80, 40, StickFrames::kManufacturer, 0x020000))
                 .isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(percent->property("text").toString(), QString("100%"), 2000);
    QVERIFY(percent->isVisible());
    QQuickItem* fill = bar->childItems().value(0);
    QVERIFY(fill);
    QCOMPARE(fill->width(), bar->width() - 2);
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

void tst_Window::programInformationAndErrorDialogs()
{
    WindowHarness harness({});
    QVERIFY(QDir().mkpath(harness.applDir.filePath("licence")));
    QFile licence(harness.applDir.filePath("licence/licence_en_GB.txt"));
    QVERIFY(licence.open(QIODevice::WriteOnly));
    licence.write("A licence text wrapped by hand at about seventy-five characters, as the files are,\n"
                  "with its second line\nShort line\n");
    licence.close();
    QVERIFY(harness.load());
    CProg2Gui* bridge = harness.bridge();

    auto* about = qobject_cast<QQuickWindow*>(harness.find("aboutDialog"));
    QVERIFY(about);
    QVERIFY(!about->isVisible());
    QVERIFY(harness.click(harness.item("infoButton")));
    QTRY_VERIFY_WITH_TIMEOUT(about->isVisible(), 2000);
    QCOMPARE(about->modality(), Qt::ApplicationModal);
    QObject* text = about->findChild<QObject*>("licenceTxt");
    QVERIFY(text);
    // Lines of a paragraph are joined, so that the text wraps to the dialog;
    // a short line keeps its break.
    QVERIFY(text->property("text").toString().startsWith(
        "A licence text wrapped by hand at about seventy-five characters, as the files are, "
        "with its second line\nShort line\n"));
    // Escape closes it.
    about->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(about));
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!about->isVisible(), 2000);

    // A manual that no program opens: its path to copy, and its folder.
    QList<QUrl> opened;
    DocumentOpener::setOpenFunction([&opened](const QUrl& _url) {
        opened.append(_url);
        return false;
    });
    const auto restore = qScopeGuard([] { DocumentOpener::setOpenFunction(nullptr); });
    QVERIFY(QDir().mkpath(harness.applDir.filePath("help")));
    const QString manual = harness.applDir.filePath("help/Help_en_GB.pdf");
    QFile pdf(manual);
    QVERIFY(pdf.open(QIODevice::WriteOnly));
    pdf.write("%PDF-1.4\n");
    pdf.close();
    QVERIFY(harness.click(harness.item("helpButton")));
    auto* problem = qobject_cast<QQuickWindow*>(harness.find("fileProblemDialog"));
    QVERIFY(problem);
    QTRY_VERIFY_WITH_TIMEOUT(problem->isVisible(), 2000);
    QObject* path = problem->findChild<QObject*>("fileProblemPath");
    QVERIFY(path);
    QCOMPARE(path->property("text").toString(), QDir::toNativeSeparators(manual));
    QVERIFY(path->property("readOnly").toBool());
    QCOMPARE(opened.size(), 1);
    auto* openFolder = problem->findChild<QQuickItem*>("openFolderButton");
    QVERIFY(openFolder);
    QTest::mouseClick(problem, Qt::LeftButton, Qt::NoModifier,
                      openFolder->mapToScene(QPointF(openFolder->width() / 2, openFolder->height() / 2)).toPoint());
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 2, 2000);
    QCOMPARE(opened.last().toLocalFile(), QFileInfo(manual).absolutePath());
    problem->close();

    emit bridge->displayErrorWindow(QVariant(QString("The stick does not answer")));
    QCOMPARE(harness.window()->property("errorMessage").toString(), QString("The stick does not answer"));
    QObject* dialog = harness.find("errorDialog");
    QVERIFY(dialog);
    QVERIFY(dialog->property("visible").toBool());
    QCOMPARE(dialog->property("text").toString(), QString("The stick does not answer"));
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

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

// A port that another program holds is shown as such, with its help, not as
// a stick to be connected.
void tst_Window::portHeldByAnotherProgram()
{
    if (!PseudoTerminal::isAvailable())
        QSKIP("the stick's side of the line is a pseudo-terminal");
    WindowHarness harness({false, {}, true});
    QVERIFY(harness.pty && harness.pty->isValid());
    QSerialPort other(harness.pty->slavePath());
    QVERIFY(other.open(QIODevice::ReadWrite));
    QVERIFY(harness.load());
    CProg2Gui* bridge = harness.bridge();
    QCOMPARE(bridge->stickInterface()->serialPortHandler().openProblem(), CSerialPortHandler::eOpenProblemInUse);
    QCOMPARE(bridge->helpId(), int(CProg2Gui::HelpPortInUse));
    QVERIFY(harness.item("helpTxt")->property("text").toString().contains(harness.pty->slavePath()));
    const QString status = harness.item("stickStatusTxt")->property("text").toString();
    QCOMPARE(status, bridge->getText(CProg2Gui::StickConnectStateTxt_ValId));

    // Once the other program lets go, the stick connects as ever.
    other.close();
    QTRY_VERIFY_WITH_TIMEOUT(bridge->stickInterface()->serialPortHandler().isPortOpen(),
                             2 * CSerialPortHandler::kSearchIntervalMs);
    QVERIFY(harness.connectStick());
    QCOMPARE(bridge->helpId(), int(CProg2Gui::HelpConnectStick)); // until the stick reports its network
    QVERIFY(harness.item("stickStatusTxt")->property("text").toString() != status);
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

int main(int argc, char* argv[])
{
    WindowHarness::prepareProcess();
    QApplication app(argc, argv);
    WindowHarness::registerTypes();
    tst_Window test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window.moc"
