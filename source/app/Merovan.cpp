#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QLoggingCategory>
#include <QQmlApplicationEngine>
#include <QSettings>
#include <QUrl>

#include "WindowEnvironment.h"
#include "bridge/ToolCore.h"
#include "common/TerminationWatcher.h"
#include "common/log.h"
#include "common/messageHandler.h"
#include "common/settings.h"
#include "version.h"

namespace {
// --help and --version are answered before anything else, without a
// display; every other argument is left to Qt and the tool ("/UPDATE").
bool answeredOnTheCommandLine(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", LUMORAN_APPLICATION_NAME, LUMORAN_VERSION_TEXT);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: %s [--help] [--version]\n\n"
                        "%s %s updates the firmware of ZigBee Light Link devices over the air\n"
                        "through a Lumoran USB stick. It opens its window; everything is done there.\n\n"
                        "  --help     print this text and exit\n"
                        "  --version  print the version and exit\n",
                        argv[0], LUMORAN_APPLICATION_NAME, LUMORAN_VERSION_TEXT);
            return true;
        }
    }
    return false;
}
} // namespace

int main(int argc, char* argv[])
{
    if (answeredOnTheCommandLine(argc, argv))
        return 0;

    QSettings::setDefaultFormat(QSettings::IniFormat);
    WindowEnvironment::prepareProcess();
    auto* app = new QApplication(argc, argv);
    QCoreApplication::setOrganizationName(LUMORAN_ORGANISATION_NAME);
    QCoreApplication::setOrganizationDomain(LUMORAN_ORGANISATION_DOMAIN);
    QCoreApplication::setApplicationName(LUMORAN_APPLICATION_NAME);
    // Ended from outside (logout, shutdown, kill), the tool ends as when its
    // window is closed.
    new TerminationWatcher(app);

    auto* settings = new QSettings;
    setSettings(settings);
    applDirPath = QCoreApplication::applicationDirPath();

    if (settings->value("applSettings/uselogfile", false).toBool()) {
        qSetMessagePattern(kLogMessagePattern);
        qInstallMessageHandler(messageHandler);
    } else {
        // The terminal gets warnings and worse; QT_LOGGING_RULES, which
        // overrides these rules, can ask for more.
        QLoggingCategory::setFilterRules("*.debug=false\n*.info=false");
    }
    LOG(lcApp, "\n");
    LOG(lcApp, "start logging");

    const double fontPointSize = settings->value("applWinSettings/fontpointSize", 8.0).toDouble();
    settings->setValue("applWinSettings/fontpointSize", fontPointSize);

    WindowEnvironment::prepareApplication();

    // The tool without its window, built once; the window's adapter uses it.
    auto* core = new ToolCore;
    ToolCore::setInstance(core);
    auto* engine = new QQmlApplicationEngine;
    engine->load(QUrl("qrc:/Merovan.qml"));

    const int exitCode = app->exec();

    settings->sync();
    delete engine;
    delete core;
    setSettings(nullptr);
    delete settings;
    delete app;
    return exitCode;
}
