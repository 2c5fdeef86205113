#include <QtTest>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

#include "bridge/CProg2Gui.h"
#include "bridge/ToolUpdater.h"
#include "common/DeviceType.h"
#include "common/settings.h"
#include "content/BackupIni.h"
#include "link/CSerialPortHandler.h"
#include "support/DevelopmentSigner.h"
#include "support/Emulator.h"
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

// The private folders of self-updates under the temp folder.
QStringList privateFolders()
{
    return QDir(getTempPath())
        .entryList({QString("%1*").arg(ToolUpdater::kPrivateFolderPrefix)},
                   QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
}

QByteArray sha256Hex(const QByteArray& _bytes)
{
    return QCryptographicHash::hash(_bytes, QCryptographicHash::Sha256).toHex();
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

    void windowsScript_data();
    void windowsScript();
    void posixScript();
    void pendingToolFromBackup_data();
    void pendingToolFromBackup();
    void runsScriptAfterToolEnded_data();
    void runsScriptAfterToolEnded();
    void failedUpdateKeepsToolRunning_data();
    void failedUpdateKeepsToolRunning();

private:
    // A bridge whose quit request is only recorded: the test's own event loop must go on.
    std::unique_ptr<CProg2Gui> makeBridge();

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    DevelopmentSigner m_signer;
};

void tst_SelfUpdate::initTestCase()
{
    if (!DevelopmentSigner::embeddedKeyIsDevelopmentKey())
        QSKIP("this build embeds a release key; packages signed with the development key cannot verify");
    QVERIFY(m_signer.isValid());
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

void tst_SelfUpdate::windowsScript_data()
{
    // The new file arrives as Qt names it and is run with backslashes; the
    // executable's path keeps the forward slashes Qt reports. Between double
    // quotes cmd acts only on '%' (doubled here) and, with delayed expansion
    // on, on '!' and '^' (the script turns it off).
    QTest::addColumn<QString>("newFile");
    QTest::addColumn<QString>("applFilePath");
    QTest::addColumn<QString>("newFileWord"); // empty: no script can be written
    QTest::addColumn<QString>("applWord");

    const QString update = "C:/Users/Anna/AppData/Roaming/Vandrel/Lumoran Tool/update/";
    const QString winUpdate = "C:\\Users\\Anna\\AppData\\Roaming\\Vandrel\\Lumoran Tool\\update\\";
    const QString appl = "C:/Program Files/Vandrel/Lumoran Tool/lumoran-tool.exe";
    QTest::newRow("spaces") << update + "LumoranTool_1.3.0.exe" << appl << "\"" + winUpdate + "LumoranTool_1.3.0.exe\""
                            << "\"" + appl + "\"";
    QTest::newRow("percent signs doubled") << "C:/Users/100%USERNAME%/tool%1.exe"
                                           << "C:/Tools/50%/lumoran-tool.exe"
                                           << "\"C:\\Users\\100%%USERNAME%%\\tool%%1.exe\""
                                           << "\"C:/Tools/50%%/lumoran-tool.exe\"";
    QTest::newRow("ampersand and pipe quoted") << "C:/Users/Tom & Jerry/a|b.exe"
                                               << "C:/R&D/lumoran-tool.exe"
                                               << "\"C:\\Users\\Tom & Jerry\\a|b.exe\""
                                               << "\"C:/R&D/lumoran-tool.exe\"";
    QTest::newRow("caret and exclamation mark quoted") << "C:/Users/a^b!c/tool.exe"
                                                       << "C:/Hey!/x^2/lumoran-tool.exe"
                                                       << "\"C:\\Users\\a^b!c\\tool.exe\""
                                                       << "\"C:/Hey!/x^2/lumoran-tool.exe\"";
    QTest::newRow("parentheses quoted") << "C:/Users/Anna (work)/tool (1).exe"
                                        << "C:/Program Files (x86)/Vandrel/lumoran-tool.exe"
                                        << "\"C:\\Users\\Anna (work)\\tool (1).exe\""
                                        << "\"C:/Program Files (x86)/Vandrel/lumoran-tool.exe\"";
    QTest::newRow("non-ASCII kept as UTF-8")
        << QString::fromUtf8("C:/Users/Zoë Ørsted/Документы/工具/tool.exe")
        << QString::fromUtf8("C:/Programme/Lumoran Werkzeug für Geräte/lumoran-tool.exe")
        << QString::fromUtf8("\"C:\\Users\\Zoë Ørsted\\Документы\\工具\\tool.exe\"")
        << QString::fromUtf8("\"C:/Programme/Lumoran Werkzeug für Geräte/lumoran-tool.exe\"");
    QTest::newRow("all at once") << QString::fromUtf8("C:/A&B (1) ^x! 50% ü/t.exe") << appl
                                 << QString::fromUtf8("\"C:\\A&B (1) ^x! 50%% ü\\t.exe\"") << "\"" + appl + "\"";
    // Windows allows neither in a file name, and no quoting protects them.
    QTest::newRow("double quote refused") << "C:/Users/a\"b/tool.exe" << appl << ""
                                          << "";
    QTest::newRow("line break refused") << update + "tool.exe"
                                        << "C:/x\r\nformat C:/lumoran-tool.exe"
                                        << ""
                                        << "";
}

void tst_SelfUpdate::windowsScript()
{
    QFETCH(QString, newFile);
    QFETCH(QString, applFilePath);
    QFETCH(QString, newFileWord);
    QFETCH(QString, applWord);

    const QString text = ToolUpdater::windowsUpdateScript(newFile, applFilePath, 4242);
    if (newFileWord.isEmpty()) {
        QCOMPARE(text, QString());
        return;
    }
    // Code page first (an ASCII line), then UTF-8 without byte order mark,
    // CR LF throughout; the wait for process 4242 comes before anything runs.
    const QByteArray expected =
        QByteArray("@\"%SystemRoot%\\System32\\chcp.com\" 65001 >nul\r\n"
                   "@echo off\r\n"
                   "setlocal DisableDelayedExpansion\r\n"
                   ":waitForTool\r\n"
                   "\"%SystemRoot%\\System32\\tasklist.exe\" /FI \"PID eq 4242\" /NH /FO CSV 2>nul | "
                   "\"%SystemRoot%\\System32\\find.exe\" \",\"\"4242\"\",\" >nul\r\n"
                   "if errorlevel 1 goto toolEnded\r\n"
                   "\"%SystemRoot%\\System32\\timeout.exe\" /t 1 /nobreak >nul\r\n"
                   "goto waitForTool\r\n"
                   ":toolEnded\r\n") +
        newFileWord.toUtf8() + "\r\nstart \"dummy_titel\" /NORMAL " + applWord.toUtf8() + " /UPDATE\r\nexit\r\n";
    QCOMPARE(text.toUtf8(), expected);

    // Without a process to wait for, the script runs at once.
    QCOMPARE(ToolUpdater::windowsUpdateScript(newFile, applFilePath, 0).toUtf8(),
             QByteArray("@\"%SystemRoot%\\System32\\chcp.com\" 65001 >nul\r\n@echo off\r\n"
                        "setlocal DisableDelayedExpansion\r\n") +
                 newFileWord.toUtf8() + "\r\nstart \"dummy_titel\" /NORMAL " + applWord.toUtf8() +
                 " /UPDATE\r\nexit\r\n");
}

void tst_SelfUpdate::posixScript()
{
    QCOMPARE(ToolUpdater::posixUpdateScript("/home/anna/.config/Vandrel/Lumoran Tool/update/tool's new.run",
                                            "/opt/lumoran/bin/lumoran-tool", 4242)
                 .toUtf8(),
             QByteArray("#!/bin/sh\n"
                        "while kill -0 4242 2>/dev/null; do sleep 1; done\n"
                        "chmod u+x '/home/anna/.config/Vandrel/Lumoran Tool/update/tool'\\''s new.run'\n"
                        "'/home/anna/.config/Vandrel/Lumoran Tool/update/tool'\\''s new.run'\n"
                        "exec '/opt/lumoran/bin/lumoran-tool' /UPDATE\n"));
}

void tst_SelfUpdate::pendingToolFromBackup_data()
{
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("package"); // "signed", "unsigned", "other record": signed, other digest on record
    QTest::addColumn<bool>("pending");
    QTest::newRow("newer package held") << "1.3.0"
                                        << "signed" << true;
    QTest::newRow("same version held") << "1.2.0"
                                       << "signed" << false;
    // "backup.ini" names a file that no signature covers.
    QTest::newRow("unsigned package held") << "9.9.9"
                                           << "unsigned" << false;
    QTest::newRow("signed, not the bytes on record") << "1.3.0"
                                                     << "other record" << false;
}

void tst_SelfUpdate::pendingToolFromBackup()
{
    QFETCH(QString, held);
    QFETCH(QString, package);
    QFETCH(bool, pending);
    const QString ran = m_dir->path() + "/package ran";
    const QByteArray bytes = QString("#!/bin/sh\necho ran > '%1'\n").arg(ran).toUtf8();
    QVERIFY(m_signer.writeFile(getUpdatePath(), "tool.run", bytes, package != "unsigned"));
    {
        QSettings backup(getUpdatePath() + "/backup.ini", QSettings::IniFormat);
        backup.setValue("devices/known_devices", QStringList{"9999"});
        backup.setValue("9999/id", 9999);
        backup.setValue("9999/ver", held);
        backup.setValue("9999/file", "tool.run");
        const QByteArray recorded = package == "other record" ? bytes + "more" : bytes;
        backup.setValue("9999/size", recorded.size());
        backup.setValue("9999/sha256", sha256Hex(recorded));
    }
    auto bridge = makeBridge();
    QCOMPARE(bridge->boGetVal(CProg2Gui::ApplUpdateButton_ValId), pending);
    QCOMPARE(bridge->isHighlightState(CProg2Gui::HighlightApplication), pending);
    QCOMPARE(bridge->applVersion().hasUpdate(), pending);
    if (pending)
        QVERIFY(bridge->getText(CProg2Gui::ApplVersion_ValId).contains("V" + held));

    // Never while something else runs.
    bridge->setSysState(CProg2Gui::SysStateUpdateDownload);
    QVERIFY(!bridge->boGetVal(CProg2Gui::ApplUpdateButton_ValId));
    QVERIFY(!bridge->isHighlightState(CProg2Gui::HighlightApplication));
    if (pending)
        return;

    // Pressed all the same: an error dialog, and nothing is started.
    bridge->setSysState(CProg2Gui::SysStateIdle);
    QSignalSpy quit(bridge.get(), &CProg2Gui::quitApplication);
    QSignalSpy error(bridge.get(), &CProg2Gui::displayErrorWindow);
    bridge->qmlAction(CProg2Gui::DoToolUpdate_QmlAction);
    QCOMPARE(quit.count(), 0);
    QCOMPARE(error.count(), 1);
    QCOMPARE(privateFolders(), QStringList());
    QTest::qWait(200);
    QVERIFY(!QFile::exists(ran));
}

void tst_SelfUpdate::runsScriptAfterToolEnded_data()
{
    // The package's name holds what a shell or the command interpreter would
    // act on, or characters beyond ASCII (a user's profile folder may).
    QTest::addColumn<QString>("newTool");
    QTest::addColumn<bool>("ascii");
#ifdef Q_OS_WIN
    const QString extension = ".exe";
#else
    const QString extension = ".run";
#endif
    QTest::newRow("shell characters") << QString("new tool's $(x) `y` & 100%; (a) ^1.3.0!") + extension << true;
    QTest::newRow("beyond ASCII") << QString::fromUtf8("Zoë Ørsted 工具 1.3.0") + extension << false;
}

void tst_SelfUpdate::runsScriptAfterToolEnded()
{
    QFETCH(QString, newTool);
    QFETCH(bool, ascii);
    // Copies of a stand-in program play the new tool and the tool that is
    // started again; each notes that it ran, with its arguments, beside
    // itself. The package is signed and on record as a download leaves it.
#ifdef Q_OS_WIN
    const QString restart = m_dir->path() + "/restart.exe";
#else
    const QString restart = m_dir->path() + "/restart";
#endif
    const QByteArray package = readFile(LUMORAN_STANDIN);
    QVERIFY(!package.isEmpty());
    QVERIFY(m_signer.writeFile(getUpdatePath(), newTool, package));
    QVERIFY(BackupIni::registerFile(DeviceType::Tool, "1.3.0", newTool, package.size(), sha256Hex(package)));
    QVERIFY(QFile::copy(LUMORAN_STANDIN, restart));
    const QString restarted = restart + ".ran";
    // The script waits for this stand-in as it would for the tool's own process.
    QProcess oldTool;
    oldTool.start(LUMORAN_STANDIN, {"--sleep", "60"});
    QVERIFY(oldTool.waitForStarted());

    auto bridge = makeBridge();
    bridge->toolUpdater().setRestartProgram(restart);
    bridge->toolUpdater().setWaitPid(oldTool.processId());
    QVERIFY(bridge->boGetVal(CProg2Gui::ApplUpdateButton_ValId));
    QSignalSpy quit(bridge.get(), &CProg2Gui::quitApplication);
    QSignalSpy error(bridge.get(), &CProg2Gui::displayErrorWindow);
    LogCapture log;
    bridge->qmlAction(CProg2Gui::DoToolUpdate_QmlAction);

    QCOMPARE(quit.count(), 1);
    QCOMPARE(error.count(), 0);
    // The script and the copy it runs lie in a fresh folder that only this user may enter.
    const QStringList folders = privateFolders();
    QCOMPARE(folders.size(), 1);
    const QString folder = getTempPath() + "/" + folders.first();
    const QString copy = folder + "/" + newTool;
#ifndef Q_OS_WIN
    const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QCOMPARE(QFileInfo(folder).permissions() & (owner | others), owner);
#endif
    QCOMPARE(bridge->toolUpdater().scriptPath(), folder + "/" + ToolUpdater::kScriptName);
    QCOMPARE(readFile(copy), package);
#ifdef Q_OS_WIN
    const QString script = ToolUpdater::windowsUpdateScript(copy, restart, oldTool.processId());
#else
    const QString script = ToolUpdater::posixUpdateScript(copy, restart, oldTool.processId());
#endif
    QCOMPARE(readFile(bridge->toolUpdater().scriptPath()), script.toUtf8());
    QVERIFY(!QFile::exists(ToolUpdater::getUpdateStarterPath()));
    // The log line passes through the local 8-bit encoding, which on
    // Windows need not hold every character of a path.
    const QString logLine =
        QString("ver 1.3.0, file \"%1\" %2").arg(QDir::toNativeSeparators(getUpdatePath() + "/" + newTool), restart);
    QVERIFY(log.contains(QString::fromUtf8(logLine.toLocal8Bit())));
    // The state is not touched; the script runs on its own.
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);

    // Nothing is replaced while the old tool runs. Wine's tasklist lists no
    // process, so there the script goes on at once; once it is through, the
    // check below fails for that reason alone.
    if (runsUnderWine())
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(restarted), kWaitMs);
    else
        QTest::qWait(1500);
    QCOMPARE(oldTool.state(), QProcess::Running);
    if (runsUnderWine())
        QEXPECT_FAIL("", "Wine 8.0's tasklist lists no processes: the script does not wait for the tool", Continue);
    QVERIFY(!QFile::exists(copy + ".ran") && !QFile::exists(restarted));
    oldTool.kill();
    QVERIFY(oldTool.waitForFinished());
    QTRY_COMPARE_WITH_TIMEOUT(readFile(restarted), QByteArray("ran /UPDATE\n"), kWaitMs);
    if (runsUnderWine() && !ascii)
        QEXPECT_FAIL("", "Wine 8.0's cmd reads the script in its own code page whatever chcp says", Continue);
    // The checked copy ran first, without arguments; the package in the
    // update folder, which anybody could have written over meanwhile, did not.
    QCOMPARE(readFile(copy + ".ran"), QByteArray("ran\n"));
    QVERIFY(!QFile::exists(getUpdatePath() + "/" + newTool + ".ran"));

    // The next start clears the folder away.
    bridge.reset();
    QVERIFY(QFile::exists(folder));
    makeBridge();
    QCOMPARE(privateFolders(), QStringList());
}

void tst_SelfUpdate::failedUpdateKeepsToolRunning_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("temp folder is a file") << "temp file";
    QTest::newRow("temp folder read-only") << "read-only";
    QTest::newRow("package gone") << "no package";
    QTest::newRow("package changed since its download") << "changed package";
    QTest::newRow("package without signature") << "unsigned";
    QTest::newRow("signature of other bytes") << "other signature";
}

void tst_SelfUpdate::failedUpdateKeepsToolRunning()
{
    QFETCH(QString, obstacle);
    const QString restarted = m_dir->path() + "/restarted";
    const QString restart = m_dir->path() + "/restart.sh";
    QVERIFY(writeFile(restart, QString("#!/bin/sh\necho \"$@\" > '%1'\n").arg(restarted).toUtf8(), true));
    const QByteArray package = "#!/bin/sh\n";
    if (obstacle != "no package")
        QVERIFY(m_signer.writeFile(getUpdatePath(), "tool.run", package, obstacle != "unsigned"));
    if (obstacle == "other signature")
        QVERIFY(writeFile(getUpdatePath() + "/tool.sig", m_signer.signature(package + "more")));
    if (obstacle == "changed package") {
        const QByteArray verified = "#!/bin/sh\necho verified\n";
        QVERIFY(BackupIni::registerFile(DeviceType::Tool, "1.3.0", "tool.run", verified.size(), sha256Hex(verified)));
    }

    auto bridge = makeBridge();
    bridge->toolUpdater().setRestartProgram(restart);
    bridge->setApplUpdateInfo(0x010300, "tool.run");
    if (obstacle == "temp file") {
        QVERIFY(QDir(getTempPath()).removeRecursively());
        QVERIFY(writeFile(getTempPath(), "in the way"));
    } else if (obstacle == "read-only") {
#ifdef Q_OS_WIN
        QSKIP("a folder's read-only attribute keeps no files out on Windows");
#else
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
#endif
        QVERIFY(QFile::setPermissions(getTempPath(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    QSignalSpy quit(bridge.get(), &CProg2Gui::quitApplication);
    QSignalSpy error(bridge.get(), &CProg2Gui::displayErrorWindow);
    bridge->qmlAction(CProg2Gui::DoToolUpdate_QmlAction);
    if (obstacle == "temp file")
        QVERIFY(QFile::remove(getTempPath()));
    QFile::setPermissions(getTempPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // The tool stays, says so in its error dialog and can try again; nothing is left behind.
    QCOMPARE(quit.count(), 0);
    QCOMPARE(error.count(), 1);
    QVERIFY(!error.first().first().toString().isEmpty());
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QVERIFY(bridge->boGetVal(CProg2Gui::ApplUpdateButton_ValId));
    QCOMPARE(privateFolders(), QStringList());
    QCOMPARE(QDir(getUpdatePath()).entryList({"updateStarter*"}, QDir::Files), QStringList());
    QTest::qWait(200);
    QVERIFY(!QFile::exists(restarted));
}

QTEST_GUILESS_MAIN(tst_SelfUpdate)
#include "tst_selfupdate.moc"
