// demo-check: the window of scripts/demo, worked without a person. Started
// like the tool (settings under XDG_CONFIG_HOME), it loads the window
// offscreen, clicks "Download", "Update Stick", "Update Devices" and
// "Cancel" as each is offered, and exits with 0 once every listed device
// runs its new firmware. It tells each step on standard output.

#include <cstdio>

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>

#include "WindowDriver.h"
#include "common/log.h"
#include "common/messageHandler.h"
#include "common/settings.h"
#include "version.h"

namespace {
void say(const QString& _line)
{
    std::printf("demo-check: %s\n", qPrintable(_line));
    std::fflush(stdout);
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
    const QCommandLineOption devicesOption("devices", "Devices the network has (default 5).", "count", "5");
    const QCommandLineOption screenshotOption("screenshot", "Save a picture of the window at the end.", "file");
    const QCommandLineOption stepOption("step-timeout", "Seconds each step may take (default 300).", "s", "300");
    parser.addOptions({devicesOption, screenshotOption, stepOption});
    parser.process(app);

    // The same settings and log file as the tool itself.
    QSettings settings;
    setSettings(&settings);
    applDirPath = QCoreApplication::applicationDirPath();
    if (settings.value("applSettings/uselogfile", false).toBool()) {
        qSetMessagePattern(kLogMessagePattern);
        qInstallMessageHandler(messageHandler);
    }
    LOG("start logging (demo-check)");

    int result = 1;
    {
        WindowDriver driver;
        QString error;
        if (!driver.load(&error)) {
            say(error);
        } else if (!driver.runUpdateFlow(parser.value(devicesOption).toInt(),
                                         parser.value(stepOption).toInt() * 1000, say, &error)) {
            say("FAILED: " + error);
        } else {
            say("every device runs its new firmware");
            result = 0;
        }
        const QString screenshot = parser.value(screenshotOption);
        if (!screenshot.isEmpty() && driver.window())
            say(driver.grab(screenshot) ? "picture of the window: " + screenshot : "no picture of the window");
    }
    settings.sync();
    setSettings(nullptr);
    return result;
}
