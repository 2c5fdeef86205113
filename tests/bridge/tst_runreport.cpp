#include <ctime>

#include <QDir>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTranslator>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "bridge/DocumentOpener.h"
#include "bridge/ReportWriter.h"
#include "bridge/RunReport.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"
#include "support/Emulator.h"
#include "support/TestFiles.h"
#include "support/TestSettings.h"

namespace {
// Central European time, without a time-zone database.
const char* const kTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";

QDateTime utc(const QString& _iso)
{
    return QDateTime::fromString(_iso, Qt::ISODate).toUTC();
}

ReportContent::Row row(quint16 _address, quint16 _type, ReportContent::Outcome_t _outcome, const QString& _before,
                       const QString& _after, int _attempts)
{
    ReportContent::Row row;
    row.shortAddr = _address;
    row.devType = _type;
    row.outcome = _outcome;
    row.versionBefore = parseVersion(_before);
    row.versionAfter = parseVersion(_after);
    row.attempts = _attempts;
    return row;
}

// The page count of the page tree.
int pageCount(const QByteArray& _pdf)
{
    // All of it: the binary streams hold NUL bytes.
    const QString text = QString::fromLatin1(_pdf.constData(), _pdf.size());
    const QRegularExpressionMatch count = QRegularExpression("/Type\\s*/Pages\\b[^>]*/Count\\s+(\\d+)").match(text);
    return count.hasMatch() ? count.captured(1).toInt() : -1;
}

// The bridge in fresh settings, without a serial port to search.
struct Tool
{
    Tool()
    {
        CSerialPortHandler::setPortListFunction([] { return QStringList(); });
        QDir().mkpath(getUpdatePath());
    }
    ~Tool() { CSerialPortHandler::setPortListFunction(nullptr); }
    TestSettings settings;
};
} // namespace

// The run report: its CSV and PDF from given content, and the reports the
// bridge writes as runs begin and end.
class tst_RunReport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void csvField_data();
    void csvField();
    void csvOfARun();
    void pdfPages_data();
    void pdfPages();
    void ending_data();
    void ending();
    void reportsOfTheBridge();
    void writeFailureIsShownAndTheRunGoesOn();
};

void tst_RunReport::initTestCase()
{
    qputenv("TZ", kTimeZone);
    tzset();
}

void tst_RunReport::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "Updated"
                           << "Updated";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blanks stay unquoted") << " a b "
                                          << " a b ";
    QTest::newRow("umlaut") << QString::fromUtf8("Gerät") << QString::fromUtf8("Gerät");
    QTest::newRow("comma") << "a,b"
                           << "\"a,b\"";
    QTest::newRow("quote doubled") << "say \"hi\""
                                   << "\"say \"\"hi\"\"\"";
    QTest::newRow("only a quote") << "\""
                                  << "\"\"\"\"";
    QTest::newRow("line feed") << "a\nb"
                               << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb"
                                     << "\"a\rb\"";
    QTest::newRow("everything") << "x,\"y\"\r\nz"
                                << "\"x,\"\"y\"\"\r\nz\"";
    // What a spreadsheet would evaluate is written as text.
    QTest::newRow("formula") << "=SUM(1,2)"
                             << "\"'=SUM(1,2)\"";
    QTest::newRow("plus") << "+1"
                          << "'+1";
    QTest::newRow("minus") << "-2+3"
                           << "'-2+3";
    QTest::newRow("at") << "@cmd"
                        << "'@cmd";
    QTest::newRow("leading tab") << "\t=1"
                                 << "'\t=1";
    QTest::newRow("leading carriage return") << "\r=1"
                                             << "\"'\r=1\"";
    QTest::newRow("sign inside") << "a=b-c"
                                 << "a=b-c";
}

void tst_RunReport::csvField()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(ReportWriter::csvField(text), field);
    // And the test's own reader, which the end-to-end tests use, reads it back.
    if (!text.isEmpty()) {
        const QList<QStringList> read = parseCsv((field + ",x\r\n").toUtf8());
        const QString cell = field.startsWith('\'') || field.startsWith("\"'") ? "'" + text : text;
        QCOMPARE(read, QList<QStringList>{(QStringList{cell, "x"})});
    }
}

void tst_RunReport::csvOfARun()
{
    ReportContent content;
    content.started = utc("2026-03-01T09:15:00Z");
    ReportContent::Row updated = row(0x1a2b, 1, ReportContent::eOutcomeUpdated, "1.0.0", "1.1.0", 1);
    updated.extAddr = "02:5E:CA:FE:00:00:1A:2B";
    updated.versionOffered = parseVersion("1.1.0");
    updated.fileOffered = "control element, \"new\".ota";
    updated.start = utc("2026-03-01T09:15:30Z");
    updated.end = utc("2026-07-01T09:17:02Z"); // summer time
    updated.transferMs = 61260;
    ReportContent::Row failed = row(0x3e4f, 2, ReportContent::eOutcomeFailed, "1.0.0", "1.0.0", 3);
    failed.failure = ProgressHelper::eResultVerifFail;
    content.rows = {updated, failed, row(0x4a5b, 4, ReportContent::eOutcomeNotReached, "1.0.0", "1.0.0", 0),
                    row(0x5c6d, 4, ReportContent::eOutcomeCurrent, "2.0.0", "2.0.0", 0),
                    row(0x6e7f, 1, ReportContent::eOutcomeInterrupted, "1.0.0", "1.0.0", 1)};

    const QByteArray expected =
        "Short address,Extended address,Device type,Device type text,Version before,Version after,"
        "Version offered,File offered,Result,Attempts,Start,End,Transfer duration (s)\r\n"
        "1a2b,02:5E:CA:FE:00:00:1A:2B,1,ZLL control element,1.0.0,1.1.0,1.1.0,\"control element, \"\"new\"\".ota\","
        "Updated,1,2026-03-01T10:15:30+01:00,2026-07-01T11:17:02+02:00,61.3\r\n"
        "3e4f,,2,ZLL wall-mounted transmitter,1.0.0,1.0.0,,,Failed: Verification failed,3,,,\r\n"
        "4a5b,,4,ZLL intermediate plug,1.0.0,1.0.0,,,Not reached,0,,,\r\n"
        "5c6d,,4,ZLL intermediate plug,2.0.0,2.0.0,,,Already current,0,,,\r\n"
        "6e7f,,1,ZLL control element,1.0.0,1.0.0,,,Interrupted,1,,,\r\n";
    if (runsUnderWine())
        QEXPECT_FAIL("", "Wine's C run-time keeps no summer time of the TZ variable", Continue);
    QCOMPARE(ReportWriter::csv(content), expected);
    QCOMPARE(ReportWriter::baseName(content), QString("2026-03-01_10-15-00_devices"));
    QCOMPARE(content.count(ReportContent::eOutcomeNotReached), 2); // the interrupted one with it

    // Universal time has its offset as well, and so has a zone west of it.
    qputenv("TZ", "UTC0");
    tzset();
    QCOMPARE(ReportWriter::isoTime(updated.start), QString("2026-03-01T09:15:30+00:00"));
    qputenv("TZ", "NST3:30");
    tzset();
    QCOMPARE(ReportWriter::isoTime(updated.start), QString("2026-03-01T05:45:30-03:30"));
    qputenv("TZ", kTimeZone);
    tzset();
}

void tst_RunReport::pdfPages_data()
{
    QTest::addColumn<QString>("language"); // a translation next to the executable, or none
    QTest::addColumn<int>("devices");
    QTest::addColumn<int>("pages");
    QTest::newRow("English, 25 devices") << "" << 25 << 1;
    QTest::newRow("German, 25 devices") << "Deutsch_de_DE" << 25 << 1;
    QTest::newRow("German, 60 devices") << "Deutsch_de_DE" << 60 << 2;
}

void tst_RunReport::pdfPages()
{
    QFETCH(QString, language);
    QFETCH(int, devices);
    QFETCH(int, pages);
    QTranslator translator;
    if (!language.isEmpty()) {
        QVERIFY(translator.load(language, QCoreApplication::applicationDirPath() + "/translation"));
        QCoreApplication::installTranslator(&translator);
    }

    // The longest texts a run gives in every column.
    ReportContent content;
    content.started = utc("2026-03-01T09:15:00Z");
    content.ended = utc("2026-03-01T23:00:00Z");
    content.end = ReportContent::eEndToolClosed;
    content.channel = 26;
    content.stickAddr = 0xabcd;
    content.networkId = "4c554d4f52414e31";
    content.stickVersion = "10.10.10";
    content.toolVersion = "1.2.0";
    for (int i = 0; i < devices; ++i) {
        ReportContent::Row device = row(quint16(i), 2, ReportContent::eOutcomeFailed, "10.10.10", "10.10.10", 3);
        device.failure = ProgressHelper::eResultVerifFail;
        device.extAddr = "02:5E:CA:FE:00:00:1A:2B";
        device.versionOffered = parseVersion("10.10.11");
        device.fileOffered = "wall_transmitter_10.10.11.ota";
        device.start = utc("2026-03-01T21:59:59Z");
        device.end = utc("2026-03-01T22:59:59Z");
        device.transferMs = 3599000;
        content.rows.append(device);
    }
    // Every type in the list of offered files.
    const QList<quint16> types{1, 4, 6};
    for (int i = 0; i < types.size(); ++i)
        content.rows[i].devType = types.at(i);

    QImage logo(330, 120, QImage::Format_ARGB32);
    logo.fill(Qt::darkBlue);
    const QByteArray pdf = ReportWriter::pdf(content, logo);
    QCoreApplication::removeTranslator(&translator);

    QVERIFY(pdf.startsWith("%PDF-"));
    QCOMPARE(pageCount(pdf), pages);
    QVERIFY(pdf.contains("/Subtype /Image"));
}

void tst_RunReport::ending_data()
{
    QTest::addColumn<int>("end");
    QTest::addColumn<QList<int>>("outcomes");
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("notUpdated");
    const int updated = ReportContent::eOutcomeUpdated;
    const int current = ReportContent::eOutcomeCurrent;
    const int failed = ReportContent::eOutcomeFailed;
    const int notReached = ReportContent::eOutcomeNotReached;
    const int interrupted = ReportContent::eOutcomeInterrupted;
    QTest::newRow("every device updated, then Cancel")
        << int(ReportContent::eEndCancelled) << QList<int>{updated, updated, current}
        << int(ReportContent::eEndingAllUpdated) << 0;
    QTest::newRow("Cancel with devices left")
        << int(ReportContent::eEndCancelled) << QList<int>{updated, notReached, interrupted}
        << int(ReportContent::eEndingByUser) << 2;
    QTest::newRow("Cancel before any device")
        << int(ReportContent::eEndCancelled) << QList<int>{} << int(ReportContent::eEndingByUser) << 0;
    QTest::newRow("time up with a failure")
        << int(ReportContent::eEndFinished) << QList<int>{updated, failed} << int(ReportContent::eEndingByItself) << 1;
    QTest::newRow("time up, every device updated")
        << int(ReportContent::eEndFinished) << QList<int>{updated} << int(ReportContent::eEndingAllUpdated) << 0;
    QTest::newRow("closed with a device left") << int(ReportContent::eEndToolClosed) << QList<int>{updated, notReached}
                                               << int(ReportContent::eEndingToolClosed) << 1;
    QTest::newRow("closed after the last device")
        << int(ReportContent::eEndToolClosed) << QList<int>{updated} << int(ReportContent::eEndingAllUpdated) << 0;
    QTest::newRow("interim") << int(ReportContent::eEndInterim) << QList<int>{updated}
                             << int(ReportContent::eEndingUnderWay) << 0;
}

// What the report says of a run's end: truthful about the devices.
void tst_RunReport::ending()
{
    QFETCH(int, end);
    QFETCH(QList<int>, outcomes);
    QFETCH(int, ending);
    QFETCH(int, notUpdated);
    ReportContent content;
    content.end = ReportContent::End_t(end);
    for (int outcome : outcomes)
        content.rows.append(row(1, 1, ReportContent::Outcome_t(outcome), "1.0.0", "1.0.0", 1));
    QCOMPARE(int(content.ending()), ending);
    QCOMPARE(content.notUpdated(), notUpdated);
}

void tst_RunReport::reportsOfTheBridge()
{
    Tool tool;
    auto* bridge = new CProg2Gui;
    QVERIFY(!bridge->boGetVal(CProg2Gui::ReportButton_ValId));
    bridge->fileModel()->addFirmwareFile(1, "1.1.0", "control_1.1.0.ota", 0);
    bridge->deviceModel()->addZigBeeDevice(0x1a2b, 1, parseVersion("1.0.0"), 0x025ecafe00001a2bULL);
    bridge->deviceModel()->addZigBeeDevice(0x4a5b, 4, parseVersion("1.0.0"));

    // During a run the report is the run so far, written when asked for.
    QList<QUrl> opened;
    bool opens = true;
    DocumentOpener::setOpenFunction([&](const QUrl& _url) {
        opened.append(_url);
        return opens;
    });
    const auto restore = qScopeGuard([] { DocumentOpener::setOpenFunction(nullptr); });
    bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    QVERIFY(bridge->boGetVal(CProg2Gui::ReportButton_ValId));
    bridge->qmlAction(CProg2Gui::OpenReport_QmlAction);
    QCOMPARE(opened.size(), 1);
    const QString interim = opened.last().toLocalFile();
    QVERIFY2(interim.endsWith("_devices_interim.pdf"), qPrintable(interim));
    QVERIFY(readFile(interim).startsWith("%PDF-"));
    QString interimCsv = interim;
    interimCsv.replace(".pdf", ".csv");
    const QList<QStringList> soFar = parseCsv(readFile(interimCsv));
    QCOMPARE(soFar.size(), 3);
    QCOMPARE(soFar.at(1).at(8), QString("Waiting"));

    // Where no program opens PDF files, the window is given the file and
    // can open its folder.
    opens = false;
    QSignalSpy errors(bridge, &CProg2Gui::displayErrorWindow);
    bridge->qmlAction(CProg2Gui::OpenReport_QmlAction);
    QCOMPARE(errors.count(), 1);
    const QVariantMap shown = errors.first().at(0).value<QVariant>().toMap();
    QCOMPARE(shown.value("path").toString(), QDir::toNativeSeparators(interim));
    QVERIFY(!shown.value("text").toString().isEmpty());
    bridge->qmlAction(CProg2Gui::OpenFolder_QmlAction);
    QCOMPARE(opened.last().toLocalFile(), QFileInfo(interim).absolutePath());
    opens = true;

    // Cancelled before any device was reached; the final report replaces the interim one.
    bridge->qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
    QTRY_VERIFY(!QFile::exists(interim));
    QTRY_VERIFY(bridge->boGetVal(CProg2Gui::ReportButton_ValId));
    const QString pdf = bridge->runReport().latestPdf();
    QVERIFY2(pdf.endsWith("_devices.pdf"), qPrintable(pdf));
    QVERIFY(readFile(pdf).startsWith("%PDF-"));
    const QList<QStringList> csv = parseCsv(readFile(bridge->runReport().latestCsv()));
    QCOMPARE(csv.size(), 3);
    QCOMPARE(csv.at(1).mid(0, 10), (QStringList{"1a2b", "02:5E:CA:FE:00:00:1A:2B", "1", "ZLL control element", "1.0.0",
                                                "1.0.0", "1.1.0", "control_1.1.0.ota", "Not reached", "0"}));
    QCOMPARE(csv.at(2).at(8), QString("No firmware"));

    // The tool closed in the middle of a run: the run ends with its report.
    bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    delete bridge;
    const QDir reports(RunReport::folder());
    const QStringList files = reports.entryList({"*.csv", "*.pdf"}, QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 4);

    // The next start offers the latest of them.
    bridge = new CProg2Gui;
    QVERIFY(bridge->boGetVal(CProg2Gui::ReportButton_ValId));
    QCOMPARE(bridge->runReport().latestPdf(), reports.filePath(files.last()));
    QVERIFY(bridge->runReport().latestPdf() != pdf);
    delete bridge;
}

void tst_RunReport::writeFailureIsShownAndTheRunGoesOn()
{
    Tool tool;
    CProg2Gui bridge;
    const char* const notice = "could not be written";
    // A file where the folder should be.
    QVERIFY(writeFile(RunReport::folder(), "in the way"));

    bridge.qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    bridge.qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
    QTRY_VERIFY(bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(notice));
    QVERIFY(!bridge.boGetVal(CProg2Gui::ReportButton_ValId));
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateIdle);

    // The next run goes on as ever; once its report is written the notice goes.
    QVERIFY(QFile::remove(RunReport::folder()));
    bridge.qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateDeviceUpdate);
    bridge.qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
    QTRY_VERIFY(bridge.boGetVal(CProg2Gui::ReportButton_ValId));
    QVERIFY(!bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(notice));
}

QTEST_MAIN(tst_RunReport)
#include "tst_runreport.moc"
