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

// Pictures of the window in English and in German at the sizes of service
// laptops and of a desktop, with a connected stick and a few rows in both
// tables, written into the build folder for people to look at. At every size
// no column title and no button is cut, and the help fits its box (at the
// smallest size it may scroll, but never sideways). Grabbing needs OpenGL, so
// this runs in the X server of xvfb-run.
class tst_Screenshot : public QObject
{
    Q_OBJECT
private slots:
    void englishAndGermanAtEverySize();

private:
    static void fillTables(CProg2Gui* _bridge);
    static QImage grab(QQuickWindow* _window);
    static QString checkFit(const WindowHarness& _harness, bool _helpMayScroll);
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

QString tst_Screenshot::checkFit(const WindowHarness& _harness, bool _helpMayScroll)
{
    QStringList problems = _harness.cutTexts();
    const QQuickItem* help = _harness.item("helpTxt");
    const QQuickItem* scroll = _harness.item("helpScroll");
    const auto* viewport = scroll ? scroll->property("viewport").value<QQuickItem*>() : nullptr;
    if (!help || !viewport)
        return "no help text";
    // Wider than its box, the help's table would cut its words at the right.
    const qreal contentWidth = help->property("contentWidth").toReal();
    if (contentWidth > help->width() + 0.5)
        problems << QString("help is %1 wide in %2").arg(contentWidth).arg(help->width());
    const qreal contentHeight = help->property("contentHeight").toReal();
    if (!_helpMayScroll && contentHeight > viewport->height() + 0.5)
        problems << QString("help is %1 high in %2").arg(contentHeight).arg(viewport->height());
    return problems.join('\n');
}

void tst_Screenshot::englishAndGermanAtEverySize()
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
    QVERIFY(!harness.sendToStick(StickFrames::queryNextImage(2, 0x1a2b, 6, 0x010200)).isEmpty());
    fillTables(bridge);
    QTRY_VERIFY_WITH_TIMEOUT(!harness.items("fileSelectCell").isEmpty(), 3000);
    QQuickWindow* window = harness.window();
    // Below this the window does not go.
    QCOMPARE(QSize(window->minimumWidth(), window->minimumHeight()), QSize(1024, 700));

    // The selected downloads are the next step: catch the frame while it shows.
    QQuickItem* download = harness.item("fileUpdateButton");
    QCOMPARE(download->state(), QString("highlighted"));
    auto frameShows = [download] { return download->property("color").value<QColor>().alpha() > 160; };

    const QList<QSize> sizes{{1024, 768}, {1280, 800}, {1920, 1080}};
    QList<QImage> pictures;
    for (const QString& language : {QString("English"), QString("Deutsch")}) {
        QQuickItem* box = harness.item("langComboBox");
        for (int i = 0; i < bridge->iGetVal(CProg2Gui::LangCount_ValId); ++i) {
            if (bridge->getLang(i) == language)
                box->setProperty("currentIndex", i);
        }
        QCOMPARE(bridge->property("lang").toString(), language);
        const QString shortCut = language == "English" ? "en_GB" : "de_DE";
        for (const QSize& size : sizes) {
            window->resize(size);
            QTRY_COMPARE_WITH_TIMEOUT(window->size(), size, 3000);
            // The blink may turn transparent while the frame is drawn: then again.
            QImage picture;
            for (int attempt = 0; attempt < 5 && (picture.isNull() || !frameShows()); ++attempt) {
                QTRY_VERIFY_WITH_TIMEOUT(frameShows(), 5000);
                picture = grab(window);
            }
            QVERIFY(!picture.isNull());
            QCOMPARE(picture.size(), size * window->devicePixelRatio());
            const QString name = QString("screenshot_%1_%2x%3.png").arg(shortCut).arg(size.width()).arg(size.height());
            QVERIFY(picture.save(LUMORAN_SCREENSHOT_DIR "/" + name));
            const QString problems = checkFit(harness, size.width() == 1024);
            QVERIFY2(problems.isEmpty(), qPrintable(name + ":\n" + problems));
            pictures << picture;
        }
    }

    // Not blank, and the language change reached the picture.
    const QImage& english = pictures.first();
    QSet<QRgb> colours;
    for (int y = 0; y < english.height(); y += 4) {
        for (int x = 0; x < english.width(); x += 4)
            colours.insert(english.pixel(x, y));
    }
    QVERIFY2(colours.size() > 50, "the English picture is nearly blank");
    QVERIFY(english != pictures.at(sizes.size()));
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
