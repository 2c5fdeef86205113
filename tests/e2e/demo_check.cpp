// demo-check: the window of scripts/demo, worked without a person. Started
// like the tool (settings under XDG_CONFIG_HOME), it loads the window
// offscreen, clicks "Download", "Update Stick", "Update Devices" and
// "Cancel" as each is offered, and exits with 0 once every listed device
// runs its new firmware and the run's report says so. It tells each step on
// standard output, and the paths of the report's CSV and PDF.
//
// Two shorter walks need no stick: --downloads (every offered file fetched,
// checked and held) and --tool-update ("Update Tool" clicked: the update
// script runs the held package and starts the program given with
// --restart-program, by default demo-check itself, with "/UPDATE").

#include <cstdio>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QHash>
#include <QQuickWindow>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "common/log.h"
#include "common/messageHandler.h"
#include "common/settings.h"
#include "devices/ZigBeeDeviceModel.h"
#include "support/E2eTimings.h"
#include "support/TestFiles.h"
#include "support/WindowDriver.h"
#include "version.h"

using namespace E2eTimings;

namespace {
constexpr int kRunPictureDelayMs = 4000;

void say(const QString& _line)
{
    std::printf("demo-check: %s\n", qPrintable(_line));
    std::fflush(stdout);
}

// The device run's report: written, and a row "Updated" for every listed
// device, or "Already current" for one that ran a newer version than the one
// offered and still does. Empty when it is so, else what is wrong.
QString checkReport(CProg2Gui& _tool)
{
    const RunReport& report = _tool.runReport();
    if (!QTest::qWaitFor([&] { return report.latestCsv().endsWith("_devices.csv") && report.hasReport(); }, kReportMs))
        return "no report of the device run";
    const QList<QStringList> records = parseCsv(readFile(report.latestCsv()));
    const int devices = _tool.deviceModel()->rowCount();
    if (records.size() != devices + 1)
        return QString("%1 report rows for %2 devices").arg(records.size() - 1).arg(devices);
    for (int i = 1; i < records.size(); ++i) {
        // Columns: before 4, after 5, offered 6, result 8.
        const QStringList& row = records.at(i);
        const bool newerKept = row.value(8) == "Already current" && row.value(4) == row.value(5) &&
                               parseVersion(row.value(5)) > parseVersion(row.value(6));
        if (row.value(8) != "Updated" && !newerKept)
            return "report row: " + row.join(", ");
    }
    say("report " + report.latestCsv());
    say("report " + report.latestPdf());
    return QString();
}
} // namespace

int main(int argc, char* argv[])
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(LUMORAN_ORGANISATION_NAME);
    QCoreApplication::setOrganizationDomain(LUMORAN_ORGANISATION_DOMAIN);
    QCoreApplication::setApplicationName(LUMORAN_APPLICATION_NAME);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption devicesOption("devices", "Devices the network has (default 6).", "count", "6");
    const QCommandLineOption picturesOption("pictures", "Save a picture of the window after each step here.", "folder");
    const QCommandLineOption stepOption("step-timeout", "Seconds each step may take (default 300).", "s", "300");
    const QCommandLineOption downloadsOption("downloads", "Only download every offered file (no stick needed).");
    const QCommandLineOption toolUpdateOption("tool-update", "Only click \"Update Tool\" (no stick needed).");
    const QCommandLineOption restartOption("restart-program", "The program the tool update starts again.", "path");
    parser.addOptions({devicesOption, picturesOption, stepOption, downloadsOption, toolUpdateOption, restartOption});
    parser.process(app);
    // The update script starts the tool again with "/UPDATE" and nothing else.
    if (parser.positionalArguments() == QStringList{"/UPDATE"}) {
        say("started again with /UPDATE");
        return 0;
    }

    // The same settings and log file as the tool itself.
    QSettings settings;
    setSettings(&settings);
    applDirPath = QCoreApplication::applicationDirPath();
    if (settings.value("applSettings/uselogfile", false).toBool()) {
        qSetMessagePattern(kLogMessagePattern);
        qInstallMessageHandler(messageHandler);
    }
    LOG(lcApp, "start logging (demo-check)");

    int result = 1;
    {
        WindowDriver driver;
        const QString pictures = parser.value(picturesOption);
        if (!pictures.isEmpty())
            QDir().mkpath(pictures);
        auto picture = [&driver, &pictures](const QString& _name) {
            if (pictures.isEmpty())
                return;
            const QString path = QDir(pictures).filePath(_name + ".png");
            say(driver.grab(path) ? "picture " + path : "no picture " + path);
        };
        // A picture after each step; the running update a few seconds in.
        const QHash<QString, QString> shots{{"ready", "1-start"},
                                            {"files downloaded", "2-files-downloaded"},
                                            {"stick updated", "3-stick-updated"},
                                            {"Cancel clicked", "5-run-cancelled"}};
        auto report = [&](const QString& _line) {
            say(_line);
            const QString step = _line.section(':', 0, 0);
            if (shots.contains(step))
                picture(shots.value(step));
            if (step == "Update Devices clicked")
                QTimer::singleShot(kRunPictureDelayMs, driver.window(), [&picture] { picture("4-devices-updating"); });
        };
        QString error;
        const int stepMs = parser.value(stepOption).toInt() * 1000;
        if (!driver.load(&error)) {
            say(error);
        } else if (parser.isSet(downloadsOption)) {
            if (driver.downloadOffered(stepMs, report, &error))
                result = 0;
            else
                say("FAILED: " + error);
        } else if (parser.isSet(toolUpdateOption)) {
            if (parser.isSet(restartOption))
                driver.bridge()->toolUpdater().setRestartProgram(parser.value(restartOption));
            if (driver.startToolUpdate(stepMs, report, &error))
                result = 0;
            else
                say("FAILED: " + error);
        } else if (!driver.runUpdateFlow(parser.value(devicesOption).toInt(), stepMs, report, &error)) {
            say("FAILED: " + error);
            picture("failed");
        } else if (const QString wrong = checkReport(*driver.bridge()); !wrong.isEmpty()) {
            say("FAILED: " + wrong);
        } else {
            say("every device runs its new firmware");
            result = 0;
        }
    }
    settings.sync();
    setSettings(nullptr);
    return result;
}
