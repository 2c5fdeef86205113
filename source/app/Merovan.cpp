#include <QApplication>
#include <QQmlApplicationEngine>
#include <QSettings>
#include <QUrl>

#include "bridge/CProg2Gui.h"
#include "common/TerminationWatcher.h"
#include "common/log.h"
#include "common/messageHandler.h"
#include "common/settings.h"
#include "version.h"

int main(int argc, char* argv[])
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
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
    }
    LOG(lcApp, "\n");
    LOG(lcApp, "start logging");

    const double fontPointSize = settings->value("applWinSettings/fontpointSize", 8.0).toDouble();
    settings->setValue("applWinSettings/fontpointSize", fontPointSize);

    qmlRegisterType<CProg2Gui>("cpp.qml.interface", 1, 0, "CppQmlIf");

    auto* engine = new QQmlApplicationEngine;
    engine->load(QUrl("qrc:/Merovan.qml"));

    const int exitCode = app->exec();

    settings->sync();
    delete engine;
    setSettings(nullptr);
    delete settings;
    delete app;
    return exitCode;
}
