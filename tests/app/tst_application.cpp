#include <algorithm>
#include <csignal>

#include <QtTest>

#include "X11Window.h"
#include "version.h"

// Starts the real tool in the X server of xvfb-run with an empty settings
// folder and ends it the way a window manager closes its window, or the way
// a logout or `kill` ends it; either way it quits in order. Its window has an
// icon, it opens in the system's language, and the terminal gets warnings
// only unless QT_LOGGING_RULES asks for more. --help and --version answer
// without a window.
class tst_Application : public QObject
{
    Q_OBJECT
private slots:
    void firstStartAndClose_data();
    void firstStartAndClose();
    void helpAndVersion_data();
    void helpAndVersion();
};

void tst_Application::firstStartAndClose_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("loggingRules");
    QTest::addColumn<bool>("debugShown");
    QTest::addColumn<QString>("systemLocale"); // LANG
    QTest::addColumn<QString>("language");     // chosen at the first start
    QTest::newRow("window closed") << 0 << QStringList() << QString() << false << "en_GB.UTF-8"
                                   << "English";
    QTest::newRow("SIGTERM") << int(SIGTERM) << QStringList() << QString() << false << "de_DE.UTF-8"
                             << "Deutsch";
    QTest::newRow("SIGINT") << int(SIGINT) << QStringList() << QString() << false << "de_AT.UTF-8"
                            << "Deutsch";
    // The self-update restarts the tool so.
    QTest::newRow("restarted by its update") << 0 << QStringList{"/UPDATE"} << QString() << false << "fr_FR.UTF-8"
                                             << "English";
    QTest::newRow("debug lines asked for") << 0 << QStringList() << QString("lumoran.app.debug=true") << true << "C"
                                           << "English";
}

void tst_Application::firstStartAndClose()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (run through xvfb-run)");
    QFETCH(int, signal);
    QFETCH(QStringList, arguments);
    QFETCH(QString, loggingRules);
    QFETCH(bool, debugShown);
    QFETCH(QString, systemLocale);
    QFETCH(QString, language);
    QTemporaryDir config;
    QVERIFY(config.isValid());

    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("QT_QUICK_BACKEND");
    // Every line the tool writes to the terminal begins with its type.
    env.insert("QT_MESSAGE_PATTERN", "%{type} %{category}: %{message}");
    env.remove("QT_LOGGING_RULES");
    env.remove("LC_ALL");
    env.remove("LC_MESSAGES");
    env.insert("LANG", systemLocale);
    if (!loggingRules.isEmpty())
        env.insert("QT_LOGGING_RULES", loggingRules);
    // Mesa's software OpenGL driver is loaded and unloaded at run time; its
    // allocations cannot be attributed, so leak checks stay with the unit tests.
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    tool.start(LUMORAN_TOOL_PATH, arguments);
    QVERIFY(tool.waitForStarted(5000));

    const QString iniPath = config.path() + "/Vandrel/Vandrel Lumoran Tool.ini";
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(iniPath), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(X11Window::exists("Vandrel Lumoran Tool"), 10000);
    // The window icon, in the sizes of the icon file.
    const std::vector<int> icons = X11Window::iconEdges("Vandrel Lumoran Tool");
    QVERIFY(std::find(icons.begin(), icons.end(), 32) != icons.end());
    QVERIFY(std::find(icons.begin(), icons.end(), 256) != icons.end());

    if (signal == 0) {
        // Closed like a window manager closes it: WM_DELETE_WINDOW.
        QTRY_VERIFY_WITH_TIMEOUT(X11Window::requestClose("Vandrel Lumoran Tool"), 10000);
    } else {
        QCOMPARE(::kill(pid_t(tool.processId()), signal), 0);
    }

    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);

    QSettings ini(iniPath, QSettings::IniFormat);
    QVERIFY(ini.contains("applWinSettings/fontpointSize"));
    QCOMPARE(ini.value("applWinSettings/fontpointSize").toDouble(), 8.0);
    QVERIFY(ini.contains("serial/ports"));
    // With nothing saved, the window opened in the system's language.
    QCOMPARE(ini.value("applSettings/lang").toString(), language);

    const QStringList lines = QString::fromLocal8Bit(tool.readAllStandardError()).split('\n');
    int debugLines = 0;
    for (const QString& line : lines) {
        if (line.startsWith("debug ") || line.startsWith("info "))
            ++debugLines;
    }
    if (debugShown)
        QVERIFY(debugLines > 0);
    else
        QVERIFY2(debugLines == 0, qPrintable(lines.join('\n')));
}

void tst_Application::helpAndVersion_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("printed");
    QTest::newRow("--version") << "--version" << QString(LUMORAN_APPLICATION_NAME " " LUMORAN_VERSION_TEXT "\n");
    QTest::newRow("--help") << "--help"
                            << "--version";
    QTest::newRow("-h") << "-h"
                        << "--help";
}

// Answered at once and without a window, also where there is no display.
void tst_Application::helpAndVersion()
{
    QFETCH(QString, option);
    QFETCH(QString, printed);
    QTemporaryDir config;
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    env.remove("DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    tool.setProcessEnvironment(env);
    tool.start(LUMORAN_TOOL_PATH, {option});
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    const QString output = QString::fromLocal8Bit(tool.readAllStandardOutput());
    QVERIFY2(output.contains(printed), qPrintable(output));
    // No settings either: nothing was started.
    QVERIFY(QDir(config.path()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_Application)
#include "tst_application.moc"
