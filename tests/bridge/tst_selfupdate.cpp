#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "common/settings.h"
#include "link/CSerialPortHandler.h"
#include "support/LogCapture.h"
#include "support/TestSettings.h"

namespace {
constexpr int kWaitMs = 10000;

bool writeFile(const QString& _path, const QByteArray& _bytes, bool _executable = false)
{
    QFile file(_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(_bytes) != _bytes.size())
        return false;
    file.close();
    return !_executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

QByteArray readFile(const QString& _path)
{
    QFile file(_path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// The tool's self-update: the script texts, and a real run of the script with
// harmless stand-ins for the new tool and for the tool that is started again.
class tst_SelfUpdate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowsScript();
    void posixScript();
    void pendingToolFromBackup_data();
    void pendingToolFromBackup();
    void runsScriptThenQuits();
    void staysWhenScriptCannotBeWritten();

private:
    // A bridge whose quit request is only recorded: the test's own event loop must go on.
    std::unique_ptr<CProg2Gui> makeBridge();

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_SelfUpdate::initTestCase()
{
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
}

void tst_SelfUpdate::init()
{
    m_settings = std::make_unique<TestSettings>();
    m_dir = std::make_unique<QTemporaryDir>();
    applDirPath = m_dir->path();
    QVERIFY(QDir().mkpath(getUpdatePath()));
}

void tst_SelfUpdate::cleanup()
{
    applDirPath.clear();
    m_dir.reset();
    m_settings.reset();
}

std::unique_ptr<CProg2Gui> tst_SelfUpdate::makeBridge()
{
    auto bridge = std::make_unique<CProg2Gui>();
    QObject::disconnect(bridge.get(), &CProg2Gui::quitApplication, nullptr, nullptr);
    return bridge;
}

void tst_SelfUpdate::windowsScript()
{
    // The new file arrives quoted with native separators; the executable's
    // path keeps the forward slashes Qt reports.
    const QString text = CProg2Gui::windowsUpdateScript(
        "\"C:\\Users\\Anna\\AppData\\Roaming\\Vandrel\\Lumoran Tool\\update\\LumoranTool_1.3.0.exe\"",
        "C:/Program Files/Vandrel/Lumoran Tool/lumoran-tool.exe");
    QCOMPARE(text.toUtf8(),
             QByteArray("\"C:\\Users\\Anna\\AppData\\Roaming\\Vandrel\\Lumoran Tool\\update\\LumoranTool_1.3.0.exe\"\n"
                        "start \"dummy_titel\" /NORMAL \"C:/Program Files/Vandrel/Lumoran Tool/lumoran-tool.exe\" "
                        "/UPDATE\n"
                        "exit\n"));
}

void tst_SelfUpdate::posixScript()
{
    QCOMPARE(CProg2Gui::posixUpdateScript("/home/anna/.config/Vandrel/Lumoran Tool/update/tool's new.run",
                                          "/opt/lumoran/bin/lumoran-tool")
                 .toUtf8(),
             QByteArray("#!/bin/sh\n"
                        "chmod u+x '/home/anna/.config/Vandrel/Lumoran Tool/update/tool'\\''s new.run'\n"
                        "'/home/anna/.config/Vandrel/Lumoran Tool/update/tool'\\''s new.run'\n"
                        "exec '/opt/lumoran/bin/lumoran-tool' /UPDATE\n"));
}

void tst_SelfUpdate::pendingToolFromBackup_data()
{
    QTest::addColumn<QString>("held");
    QTest::addColumn<bool>("pending");
    QTest::newRow("newer package held") << "1.3.0" << true;
    QTest::newRow("same version held") << "1.2.0" << false;
}

void tst_SelfUpdate::pendingToolFromBackup()
{
    QFETCH(QString, held);
    QFETCH(bool, pending);
    QVERIFY(writeFile(getUpdatePath() + "/tool.run", "#!/bin/sh\n"));
    {
        QSettings backup(getUpdatePath() + "/backup.ini", QSettings::IniFormat);
        backup.setValue("devices/known_devices", QStringList{"9999"});
        backup.setValue("9999/id", 9999);
        backup.setValue("9999/ver", held);
        backup.setValue("9999/file", "tool.run");
    }
    auto bridge = makeBridge();
    QCOMPARE(bridge->boGetVal(CProg2Gui::ApplUpdateButton_ValId), pending);
    QCOMPARE(bridge->isHighlightState(CProg2Gui::HighlightApplication), pending);
    QCOMPARE(bridge->getText(CProg2Gui::ApplVersion_ValId).contains("V1.3.0"), pending);

    // Never while something else runs.
    bridge->setSysState(CProg2Gui::SysStateUpdateDownload);
    QVERIFY(!bridge->boGetVal(CProg2Gui::ApplUpdateButton_ValId));
    QVERIFY(!bridge->isHighlightState(CProg2Gui::HighlightApplication));
}

void tst_SelfUpdate::runsScriptThenQuits()
{
    // The "new tool" notes that it ran; the stand-in for the tool notes its arguments.
    const QString ran = m_dir->path() + "/new tool ran";
    const QString restarted = m_dir->path() + "/restarted with";
    const QString newTool = "new tool's 1.3.0.run";
    QVERIFY(writeFile(getUpdatePath() + "/" + newTool, QString("#!/bin/sh\necho done > '%1'\n").arg(ran).toUtf8()));
    const QString restart = m_dir->path() + "/restart.sh";
    QVERIFY(writeFile(restart, QString("#!/bin/sh\necho \"$@\" > '%1'\n").arg(restarted).toUtf8(), true));

    auto bridge = makeBridge();
    bridge->setRestartProgram(restart);
    bridge->setApplUpdateInfo(0x010300, newTool);
    QVERIFY(bridge->boGetVal(CProg2Gui::ApplUpdateButton_ValId));
    QSignalSpy quit(bridge.get(), &CProg2Gui::quitApplication);
    LogCapture log;
    bridge->qmlAction(CProg2Gui::DoToolUpdate_QmlAction);

    QCOMPARE(quit.count(), 1);
    QCOMPARE(QString::fromUtf8(readFile(CProg2Gui::getUpdateStarterPath())),
             CProg2Gui::posixUpdateScript(getUpdatePath() + "/" + newTool, restart));
    QVERIFY(log.contains(QString("ver 1.3.0, file \"%1/%2\" %3").arg(getUpdatePath(), newTool, restart)));
    QVERIFY(log.contains("startDetached true"));
    // The state is not touched; the script runs on its own.
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QTRY_COMPARE_WITH_TIMEOUT(readFile(restarted), QByteArray("/UPDATE\n"), kWaitMs);
    QCOMPARE(readFile(ran), QByteArray("done\n")); // the new file ran first

    // The next start clears the script away.
    bridge.reset();
    QVERIFY(QFile::exists(CProg2Gui::getUpdateStarterPath()));
    makeBridge();
    QVERIFY(!QFile::exists(CProg2Gui::getUpdateStarterPath()));
}

void tst_SelfUpdate::staysWhenScriptCannotBeWritten()
{
    auto bridge = makeBridge();
    bridge->setRestartProgram(m_dir->path() + "/never-started");
    bridge->setApplUpdateInfo(0x010300, "tool.run");
    // A folder where the script belongs: it cannot be written.
    QVERIFY(QDir().mkpath(CProg2Gui::getUpdateStarterPath()));
    QSignalSpy quit(bridge.get(), &CProg2Gui::quitApplication);
    LogCapture log;
    bridge->UpdateTool();
    QCOMPARE(quit.count(), 0);
    QVERIFY(log.contains("can not write"));
    QVERIFY(bridge->boGetVal(CProg2Gui::ApplUpdateButton_ValId));
}

QTEST_GUILESS_MAIN(tst_SelfUpdate)
#include "tst_selfupdate.moc"
