#include "tst_window.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QSerialPort>
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

int main(int argc, char* argv[])
{
    WindowHarness::prepareProcess();
    QApplication app(argc, argv);
    WindowHarness::registerTypes();
    tst_Window test;
    return QTest::qExec(&test, argc, argv);
}
