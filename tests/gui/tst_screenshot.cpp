#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QScreen>
#include <QSet>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "common/DeviceType.h"
#include "common/ProgressHelper.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "support/StickFrames.h"
#include "support/WindowHarness.h"

// Pictures of the window in English and in German at the sizes of service
// laptops and of a desktop, on a dark palette and on a screen of 192 dpi,
// with a connected stick, a device run under way and a few rows in both
// tables, written into the build folder for people to look at (and the six
// sizes, the dark and the 192-dpi English picture into docs/pictures when
// LUMORAN_DOCS_PICTURES is set). In every picture
// nothing is cut, nothing reaches out of its box, no two controls overlap,
// no table scrolls sideways, and the help fits its box (at the smallest
// size it may scroll, but never sideways). Grabbing needs OpenGL, so this
// runs in the X server of xvfb-run; the picture at 192 dpi needs an X
// server of that resolution and is skipped in others.
class tst_Screenshot : public QObject
{
    Q_OBJECT
private slots:
    void englishAndGermanAtEverySize();
    void darkPalette();
    void highResolution();

private:
    // The window with a stick, rows in both tables and a device run.
    static bool fill(WindowHarness& _harness);
    static void chooseLanguage(WindowHarness& _harness, const QString& _language);
    // A picture once the window is drawn with the blinking frame shown.
    static QImage grab(WindowHarness& _harness);
    static QString checkFit(const WindowHarness& _harness, bool _helpMayScroll);
    // Into the build folder; with _forDocs also into docs/pictures when asked.
    static bool save(const QImage& _picture, const QString& _name, bool _forDocs = true);
    static int colourCount(const QImage& _picture);
};

bool tst_Screenshot::fill(WindowHarness& _harness)
{
    CProg2Gui* bridge = _harness.bridge();
    if (!bridge || !_harness.connectStick() || !_harness.joinNetwork(1) ||
        _harness.sendToStick(StickFrames::queryNextImage(2, 0x1a2b, 6, 0x010200)).isEmpty())
        return false;
    FirmwareUpdateFileModel* files = bridge->fileModel();
    files->addFirmwareFile(DeviceType::ControlElement, "1.2.3", "ctl_123.ota", 600);
    files->addFirmwareFile(DeviceType::WallTransmitter, "2.0.1", "wall_201.ota", 600);
    files->addFirmwareFile(DeviceType::IntermediatePlug, "1.4.0", "plug_140.ota", 600);
    files->findByDevType(DeviceType::ControlElement)->setUpdateInfo(parseVersion("1.3.0"), "ctl_130.ota");
    files->findByDevType(DeviceType::IntermediatePlug)->setUpdateInfo(parseVersion("1.5.2"), "plug_152.ota");
    files->updateRow(DeviceType::ControlElement);
    files->updateRow(DeviceType::IntermediatePlug);
    files->setProgress(files->rowCount() - 1, 350);

    ZigBeeDeviceModel* devices = bridge->deviceModel();
    devices->addZigBeeDevice(0x1a01, DeviceType::WallTransmitter, parseVersion("2.0.1"));
    devices->addZigBeeDevice(0x2b02, DeviceType::ControlElement, parseVersion("1.2.3"));
    devices->addZigBeeDevice(0x3c03, DeviceType::ControlElement, parseVersion("1.1.0"));
    devices->addZigBeeDevice(0x4d04, DeviceType::IntermediatePlug, parseVersion("1.4.0"));
    devices->addZigBeeDevice(0x5e05, DeviceType::IntermediatePlug, parseVersion("1.4.0"));
    devices->setProgress(devices->rowOf(0x3c03), 620);
    devices->setDone(devices->rowOf(0x1a01), ProgressHelper::eResultSuccess);
    bridge->setSysState(CProg2Gui::SysStateIdle);
    return true;
}

void tst_Screenshot::chooseLanguage(WindowHarness& _harness, const QString& _language)
{
    CProg2Gui* bridge = _harness.bridge();
    QQuickItem* box = _harness.item("langComboBox");
    for (int i = 0; i < bridge->iGetVal(CProg2Gui::LangCount_ValId); ++i) {
        if (bridge->getLang(i) == _language)
            box->setProperty("currentIndex", i);
    }
}

QImage tst_Screenshot::grab(WindowHarness& _harness)
{
    QQuickWindow* window = _harness.window();
    QQuickItem* download = _harness.item("fileUpdateButton");
    const bool blinks = download && download->state() == "highlighted";
    auto frameShows = [download] { return download->property("color").value<QColor>().alpha() > 160; };
    // The blink may turn transparent while the frame is drawn: then again.
    QImage picture;
    for (int attempt = 0; attempt < 5 && (picture.isNull() || (blinks && !frameShows())); ++attempt) {
        if (blinks && !QTest::qWaitFor(frameShows, 5000))
            return QImage();
        // Let bindings, the layout and the delegates of the tables settle.
        QSignalSpy swapped(window, &QQuickWindow::frameSwapped);
        window->update();
        swapped.wait(2000);
        picture = window->grabWindow();
    }
    return picture;
}

QString tst_Screenshot::checkFit(const WindowHarness& _harness, bool _helpMayScroll)
{
    QStringList problems = _harness.layoutProblems();
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

bool tst_Screenshot::save(const QImage& _picture, const QString& _name, bool _forDocs)
{
    if (!_picture.save(LUMORAN_SCREENSHOT_DIR "/" + _name))
        return false;
    if (_forDocs && qEnvironmentVariableIsSet("LUMORAN_DOCS_PICTURES"))
        return _picture.save(LUMORAN_DOCS_PICTURES_DIR "/" + _name);
    return true;
}

int tst_Screenshot::colourCount(const QImage& _picture)
{
    QSet<QRgb> colours;
    for (int y = 0; y < _picture.height(); y += 4) {
        for (int x = 0; x < _picture.width(); x += 4)
            colours.insert(_picture.pixel(x, y));
    }
    return colours.size();
}

void tst_Screenshot::englishAndGermanAtEverySize()
{
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("needs an X server with OpenGL (run through xvfb-run)");
    WindowHarness harness({true, "English", true});
    QVERIFY(harness.pty && harness.pty->isValid());
    QVERIFY(harness.load());
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
    QVERIFY(fill(harness));
    QTRY_VERIFY_WITH_TIMEOUT(!harness.items("fileSelectCell").isEmpty(), 3000);
    QQuickWindow* window = harness.window();
    // Below this the window does not go.
    QCOMPARE(QSize(window->minimumWidth(), window->minimumHeight()), QSize(1024, 700));
    // The selected downloads are the next step: their button blinks.
    QCOMPARE(harness.item("fileUpdateButton")->state(), QString("highlighted"));

    const QList<QSize> sizes{{1024, 768}, {1280, 800}, {1920, 1080}};
    QList<QImage> pictures;
    for (const QString& language : {QString("English"), QString("Deutsch")}) {
        chooseLanguage(harness, language);
        QCOMPARE(harness.bridge()->property("lang").toString(), language);
        const QString shortCut = language == "English" ? "en_GB" : "de_DE";
        for (const QSize& size : sizes) {
            window->resize(size);
            QTRY_COMPARE_WITH_TIMEOUT(window->size(), size, 3000);
            const QImage picture = grab(harness);
            QVERIFY(!picture.isNull());
            QCOMPARE(picture.size(), size * window->devicePixelRatio());
            const QString name = QString("screenshot_%1_%2x%3.png").arg(shortCut).arg(size.width()).arg(size.height());
            QVERIFY(save(picture, name));
            const QString problems = checkFit(harness, size.width() == 1024);
            QVERIFY2(problems.isEmpty(), qPrintable(name + ":\n" + problems));
            pictures << picture;
        }
    }

    // Not blank, and the language change reached the picture.
    QVERIFY2(colourCount(pictures.first()) > 50, "the English picture is nearly blank");
    QVERIFY(pictures.first() != pictures.at(sizes.size()));

    // A device run in both languages: the run's figures below its buttons.
    for (const QString& language : {QString("Deutsch"), QString("English")}) {
        chooseLanguage(harness, language);
        window->resize(1024, 768);
        QTRY_COMPARE_WITH_TIMEOUT(window->size(), QSize(1024, 768), 3000);
        QVERIFY(harness.click(harness.item("flashButton")));
        QCOMPARE(harness.bridge()->SysState(), CProg2Gui::SysStateDeviceUpdate);
        QSignalSpy ticks(harness.find("deviceProgressTimer"), SIGNAL(triggered()));
        QVERIFY(ticks.wait(2000));
        QVERIFY(harness.item("combinedProgress")->isVisible());
        const QImage picture = grab(harness);
        const QString name = QString("screenshot_%1_1024x768_run.png").arg(language == "English" ? "en_GB" : "de_DE");
        QVERIFY(save(picture, name, false));
        const QString problems = checkFit(harness, true);
        QVERIFY2(problems.isEmpty(), qPrintable(name + ":\n" + problems));
        QVERIFY(harness.click(harness.item("flashAbortButton")));
        QCOMPARE(harness.bridge()->SysState(), CProg2Gui::SysStateIdle);
    }
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

// On a dark system palette every text keeps its contrast: the window takes
// its colours from the palette, the status colours their dark variants.
void tst_Screenshot::darkPalette()
{
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("needs an X server with OpenGL (run through xvfb-run)");
    const QPalette light = QGuiApplication::palette();
    const auto restore = qScopeGuard([light] { QApplication::setPalette(light); });
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x23, 0x23, 0x23));
    dark.setColor(QPalette::AlternateBase, QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Button, QColor(0x45, 0x45, 0x45));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Mid, QColor(0x60, 0x60, 0x60));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    QApplication::setPalette(dark);

    WindowHarness harness({true, "English", true});
    QVERIFY(harness.pty && harness.pty->isValid());
    QVERIFY(harness.load());
    QVERIFY(fill(harness));
    QTRY_VERIFY_WITH_TIMEOUT(!harness.items("fileSelectCell").isEmpty(), 3000);
    harness.window()->resize(1280, 800);
    QTRY_COMPARE_WITH_TIMEOUT(harness.window()->size(), QSize(1280, 800), 3000);
    const QImage picture = grab(harness);
    QVERIFY(!picture.isNull());
    QVERIFY(save(picture, "screenshot_en_GB_1280x800_dark.png"));
    QVERIFY2(checkFit(harness, false).isEmpty(), qPrintable(checkFit(harness, false)));

    // The texts are drawn in the palette's text colour.
    for (const char* name : {"helpTxt", "stickStatusTxt", "deviceCountTxt", "serverErrorTxt"})
        QCOMPARE(harness.item(name)->property("color").value<QColor>(), dark.color(QPalette::Text));
    // Most of the window is dark, the table rows too.
    int darkPixels = 0;
    int counted = 0;
    for (int y = 0; y < picture.height(); y += 8) {
        for (int x = 0; x < picture.width(); x += 8, ++counted)
            darkPixels += QColor(picture.pixel(x, y)).lightness() < 100 ? 1 : 0;
    }
    QVERIFY2(darkPixels > counted * 3 / 4, qPrintable(QString("%1 of %2 dark").arg(darkPixels).arg(counted)));
    QVERIFY2(harness.warnings().isEmpty(), qPrintable(harness.warnings().join('\n')));
}

// On a screen of 192 dpi Qt scales the window by 2 without being told: the
// layout as at 96 dpi, drawn with twice the pixels.
void tst_Screenshot::highResolution()
{
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("needs an X server with OpenGL (run through xvfb-run)");
    WindowHarness harness({true, "English", true});
    QVERIFY(harness.pty && harness.pty->isValid());
    QVERIFY(harness.load());
    if (harness.window()->devicePixelRatio() != 2.0)
        QSKIP("needs a screen of 192 dpi (the test run tst_screenshot_192dpi)");
    QVERIFY(fill(harness));
    QTRY_VERIFY_WITH_TIMEOUT(!harness.items("fileSelectCell").isEmpty(), 3000);
    for (const QString& language : {QString("English"), QString("Deutsch")}) {
        chooseLanguage(harness, language);
        harness.window()->resize(1280, 800);
        QTRY_COMPARE_WITH_TIMEOUT(harness.window()->size(), QSize(1280, 800), 3000);
        const QImage picture = grab(harness);
        QCOMPARE(picture.size(), QSize(2560, 1600));
        const QString name =
            QString("screenshot_%1_1280x800_192dpi.png").arg(language == "English" ? "en_GB" : "de_DE");
        QVERIFY(save(picture, name, language == "English"));
        QVERIFY2(checkFit(harness, false).isEmpty(), qPrintable(name + ":\n" + checkFit(harness, false)));
    }
    // The fonts keep their size in the layout's units.
    QCOMPARE(qRound(harness.window()->screen()->logicalDotsPerInch()), 96);
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
