#include <QApplication>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QtTest>

#include "WindowHarness.h"
#include "bridge/CProg2Gui.h"
#include "common/DeviceType.h"
#include "common/ProgressHelper.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "support/StickFrames.h"

// Pictures of the window in English and in German, with a connected stick and
// a few rows in both tables, written into the build folder for people to look
// at. Grabbing needs OpenGL, so this runs in the X server of xvfb-run.
class tst_Screenshot : public QObject
{
    Q_OBJECT
private slots:
    void englishAndGerman();

private:
    static void fillTables(CProg2Gui* _bridge);
    static QImage grab(QQuickWindow* _window);
};

void tst_Screenshot::fillTables(CProg2Gui* _bridge)
{
    FirmwareUpdateFileModel* files = _bridge->fileModel();
    files->addFirmwareFile(DeviceType::ControlElement, "1.2.3", "ctl_123.ota", 600);
    files->addFirmwareFile(DeviceType::WallTransmitter, "2.0.1", "wall_201.ota", 600);
    files->addFirmwareFile(DeviceType::IntermediatePlug, "1.4.0", "plug_140.ota", 600);
    files->findByDevType(DeviceType::ControlElement)->setUpdateInfo(parseVersion("1.3.0"), "ctl_130.ota");
    files->findByDevType(DeviceType::IntermediatePlug)->setUpdateInfo(parseVersion("1.5.2"), "plug_152.ota");
    files->updateRow(DeviceType::ControlElement);
    files->updateRow(DeviceType::IntermediatePlug);
    files->setProgress(files->rowCount() - 1, 350);

    ZigBeeDeviceModel* devices = _bridge->deviceModel();
    devices->addZigBeeDevice(0x1a01, DeviceType::WallTransmitter, parseVersion("2.0.1"));
    devices->addZigBeeDevice(0x2b02, DeviceType::ControlElement, parseVersion("1.2.3"));
    devices->addZigBeeDevice(0x3c03, DeviceType::ControlElement, parseVersion("1.1.0"));
    devices->addZigBeeDevice(0x4d04, DeviceType::IntermediatePlug, parseVersion("1.4.0"));
    devices->setProgress(devices->rowOf(0x3c03), 620);
    devices->setDone(devices->rowOf(0x1a01), ProgressHelper::eResultSuccess);
    _bridge->setSysState(CProg2Gui::SysStateIdle);
}

QImage tst_Screenshot::grab(QQuickWindow* _window)
{
    // Let bindings, the layout and the delegates of the tables settle.
    QSignalSpy swapped(_window, &QQuickWindow::frameSwapped);
    _window->update();
    swapped.wait(2000);
    return _window->grabWindow();
}

void tst_Screenshot::englishAndGerman()
{
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("needs an X server with OpenGL (run through xvfb-run)");
    WindowHarness harness({true, "English", true});
    QVERIFY(harness.pty && harness.pty->isValid());
    QVERIFY(harness.load());
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
    CProg2Gui* bridge = harness.bridge();
    QVERIFY(harness.connectStick());
    QVERIFY(harness.joinNetwork(1));
    QVERIFY(!harness.sendToStick(StickFrames::queryNextImage(2, 0x0000, 6, 0x010200)).isEmpty());
    fillTables(bridge);
    QTRY_VERIFY_WITH_TIMEOUT(!harness.items("fileSelectCell").isEmpty(), 3000);

    // The selected downloads are the next step: catch the frame while it shows.
    QQuickItem* download = harness.item("fileUpdateButton");
    QCOMPARE(download->state(), QString("highlighted"));
    auto frameShows = [download] { return download->property("color").value<QColor>().alpha() > 160; };
    QTRY_VERIFY_WITH_TIMEOUT(frameShows(), 5000);
    const QImage english = grab(harness.window());
    QVERIFY(!english.isNull());
    QCOMPARE(english.size(), harness.window()->size() * harness.window()->devicePixelRatio());
    QVERIFY(english.save(LUMORAN_SCREENSHOT_DIR "/screenshot_en_GB.png"));

    QQuickItem* box = harness.item("langComboBox");
    for (int i = 0; i < bridge->iGetVal(CProg2Gui::LangCount_ValId); ++i) {
        if (bridge->getLang(i) == "Deutsch")
            box->setProperty("currentIndex", i);
    }
    QCOMPARE(bridge->property("lang").toString(), QString("Deutsch"));
    QTRY_VERIFY_WITH_TIMEOUT(frameShows(), 5000);
    const QImage german = grab(harness.window());
    QVERIFY(!german.isNull());
    QVERIFY(german.save(LUMORAN_SCREENSHOT_DIR "/screenshot_de_DE.png"));

    // Not blank, and the language change reached the picture.
    QSet<QRgb> colours;
    for (int y = 0; y < english.height(); y += 4) {
        for (int x = 0; x < english.width(); x += 4)
            colours.insert(english.pixel(x, y));
    }
    QVERIFY2(colours.size() > 50, "the English picture is nearly blank");
    QVERIFY(english != german);
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

int main(int argc, char* argv[])
{
    WindowHarness::prepareProcess();
    // The real platform of the X server, with OpenGL, whatever the suite's default.
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        qunsetenv("QT_QUICK_BACKEND");
    }
    QApplication app(argc, argv);
    WindowHarness::registerTypes();
    tst_Screenshot test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenshot.moc"
