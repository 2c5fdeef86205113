#include <csignal>

#include <QtTest>

#include "X11Window.h"

// Starts the real tool in the X server of xvfb-run with an empty settings
// folder and ends it the way a window manager closes its window, or the way
// a logout or `kill` ends it; either way it quits in order.
class tst_Application : public QObject
{
    Q_OBJECT
private slots:
    void firstStartAndClose_data();
    void firstStartAndClose();
};

void tst_Application::firstStartAndClose_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("window closed") << 0;
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_Application::firstStartAndClose()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (run through xvfb-run)");
    QTemporaryDir config;
    QVERIFY(config.isValid());

    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("QT_QUICK_BACKEND");
    // Mesa's software OpenGL driver is loaded and unloaded at run time; its
    // allocations cannot be attributed, so leak checks stay with the unit tests.
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(LUMORAN_TOOL_PATH, QStringList());
    QVERIFY(tool.waitForStarted(5000));

    const QString iniPath = config.path() + "/Vandrel/Vandrel Lumoran Tool.ini";
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(iniPath), 10000);

    QFETCH(int, signal);
    if (signal == 0) {
        // Closed like a window manager closes it: WM_DELETE_WINDOW.
        QTRY_VERIFY_WITH_TIMEOUT(X11Window::requestClose("Vandrel Lumoran Tool"), 10000);
    } else {
        // Once the window is up, so that the tool runs its event loop.
        QTRY_VERIFY_WITH_TIMEOUT(X11Window::exists("Vandrel Lumoran Tool"), 10000);
        QCOMPARE(::kill(pid_t(tool.processId()), signal), 0);
    }

    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);

    QSettings ini(iniPath, QSettings::IniFormat);
    QVERIFY(ini.contains("applWinSettings/fontpointSize"));
    QCOMPARE(ini.value("applWinSettings/fontpointSize").toDouble(), 8.0);
    QVERIFY(ini.contains("serial/ports"));
}

QTEST_GUILESS_MAIN(tst_Application)
#include "tst_application.moc"
