#include <QImage>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include "EndToEndRig.h"
#include "StickSimulator.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "link/StickInterface.h"
#include "support/E2eTimings.h"
#include "support/TestFiles.h"
#include "support/WindowDriver.h"
#include "version.h"

using namespace E2eTimings;

namespace {
QString textOf(const WindowDriver& _driver, const QString& _objectName)
{
    const QQuickItem* item = _driver.item(_objectName);
    return item ? item->property("text").toString() : QString("(no %1)").arg(_objectName);
}

// The text of a PDF as pdftotext (poppler-utils) reads it.
QString pdfText(const QString& _path)
{
    QProcess pdftotext;
    pdftotext.start("pdftotext", {_path, "-"});
    if (!pdftotext.waitForFinished(20000) || pdftotext.exitCode() != 0)
        return "(pdftotext failed; scripts/install-deps installs poppler-utils)";
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}
} // namespace

// The real window, offscreen, with its bridge against the simulated stick
// and the update server.
class tst_WindowFlow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void clicksUpdateEveryDevice();

private:
    std::unique_ptr<EndToEndRig> m_rig;
    std::unique_ptr<WindowDriver> m_driver;
};

void tst_WindowFlow::initTestCase()
{
    // As the entry point names the application; the window keeps its
    // geometry under these names.
    QCoreApplication::setOrganizationName(LUMORAN_ORGANISATION_NAME);
    QCoreApplication::setApplicationName(LUMORAN_APPLICATION_NAME);
}

void tst_WindowFlow::init()
{
    START_END_TO_END_RIG(m_rig);
    m_driver = std::make_unique<WindowDriver>();
}

void tst_WindowFlow::cleanup()
{
    // The window owns the bridge, which must go before the simulator.
    m_driver.reset();
    m_rig.reset();
}

// What the demo does, on a smaller network: "Download", "Update Stick",
// "Update Devices" and "Cancel" clicked in the window as each is offered.
void tst_WindowFlow::clicksUpdateEveryDevice()
{
    EndToEndRig& rig = *m_rig;
    for (quint16 type : {1, 2, 4, 6})
        QVERIFY2(rig.hold({type, "1.0.0", 2000}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{1, "1.1.0", 3000}, {2, "1.0.7", 2200}, {4, "2.0.0", 4500}, {6, "1.2.0", 4000}}),
             qPrintable(rig.error()));
    const QList<quint16> addresses{0x1a2b, 0x3e4f, 0x4a5b};
    const QJsonArray devices{EndToEndRig::device(0x1a2b, 1, "1.0.0"), EndToEndRig::device(0x3e4f, 2, "1.0.0"),
                             EndToEndRig::device(0x4a5b, 4, "1.0.0")};
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario(devices)), qPrintable(rig.error()));
    QString error;
    QVERIFY2(m_driver->load(&error), qPrintable(error));
    rig.adoptTool(m_driver->bridge());

    QStringList steps;
    const bool done = m_driver->runUpdateFlow(
        addresses.size(), kWindowStepMs, [&steps](const QString& _line) { steps.append(_line); }, &error);
    QVERIFY2(done, qPrintable(error + " after: " + steps.join("; ")));

    // The window shows what happened.
    QCOMPARE(textOf(*m_driver, "serverErrorTxt"), QString("Update server contacted"));
    QVERIFY2(m_driver->item("stickDoneImg") && m_driver->item("stickDoneImg")->isVisible(), "no stick check mark");
    QVERIFY2(textOf(*m_driver, "stickVersionTxt").endsWith(versionPrefixed("1.2.0")),
             qPrintable(textOf(*m_driver, "stickVersionTxt")));
    QCOMPARE(textOf(*m_driver, "deviceCountTxt"), QString("3 devices found"));
    QVERIFY(!m_driver->isEnabled("flashAbortButton"));

    // And the simulated network runs the new firmware, byte for byte.
    for (quint16 address : addresses) {
        const SimDevice* simulated = rig.simulator()->device(address);
        QCOMPARE(simulated->version(), rig.offeredVersion(simulated->imageType()));
        int images = 0;
        QVERIFY2(rig.imagesMatchServed(address, &images, &error), qPrintable(error));
        QCOMPARE(images, 1);
    }
    QCOMPARE(rig.simulator()->stickClient().version(), rig.offeredVersion(6));
    int images = 0;
    QVERIFY2(rig.imagesMatchServed(0x0000, &images, &error), qPrintable(error));
    QCOMPARE(images, 1);
    QCOMPARE(rig.offersInOrder().first(), quint16(0x3e4f)); // the wall transmitter first

    // The stick update and the cancelled device run each left a report.
    CProg2Gui* tool = m_driver->bridge();
    QTRY_VERIFY_WITH_TIMEOUT(tool->runReport().latestCsv().endsWith("_devices.csv"), kReportMs);
    QVERIFY(m_driver->isEnabled("reportButton"));
    QVERIFY2(rig.reportMatchesNetwork(tool->runReport().latestCsv(), {}, &error), qPrintable(error));
    const QDir reports(RunReport::folder());
    const QStringList stickReports = reports.entryList({"*_stick.csv"}, QDir::Files);
    QCOMPARE(stickReports.size(), 1);
    const QList<QStringList> stickRows = parseCsv(readFile(reports.filePath(stickReports.first())));
    QCOMPARE(stickRows.size(), 2);
    const QStringList stick = stickRows.at(1);
    QCOMPARE((QStringList{stick.value(0), stick.value(2), stick.value(4), stick.value(5), stick.value(8)}),
             (QStringList{"0000", "6", "1.0.0", "1.2.0", "Updated"}));
    const QString pdf = tool->runReport().latestPdf();
    QVERIFY(readFile(pdf).startsWith("%PDF-"));
    QVERIFY2(readFile(pdf).contains("/Subtype /Image"), "no logo in the PDF");
    const QString text = pdfText(pdf);
    for (const char* shown : {"channel 15", "4c554d4f52414e31", "all devices updated", "updated 3", "Firmware offered"})
        QVERIFY2(text.contains(shown), qPrintable(QString("'%1' not in the PDF:\n%2").arg(shown, text)));

    // A picture of the window, as scripts/demo --check leaves them.
    QTemporaryDir pictures;
    const QString picture = pictures.filePath("window.png");
    QVERIFY(m_driver->grab(picture));
    QCOMPARE(QImage(picture).size(), m_driver->window()->size());
}

QTEST_MAIN(tst_WindowFlow)
#include "tst_windowflow.moc"
