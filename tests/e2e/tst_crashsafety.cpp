#include <QtTest>

#include "UpdateServer.h"
#include "bridge/CProg2Gui.h"
#include "common/settings.h"
#include "content/BackupIni.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateFolder.h"
#include "support/DevelopmentSigner.h"
#include "support/Emulator.h"
#include "support/LogCapture.h"
#include "support/TestSettings.h"

namespace {
constexpr int kKills = 12;
constexpr int kReadyMs = 20000;
constexpr int kKeys = 300; // as crashchild writes them

QByteArray readFile(const QString& _path)
{
    QFile file(_path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

QByteArray image(char _fill, int _size)
{
    QByteArray bytes(_size, _fill);
    for (int i = 0; i < _size; i += 97)
        bytes[i] = char(i / 97);
    return bytes;
}
} // namespace

// The tool is killed (SIGKILL) while it writes "backup.ini", the settings
// file or a downloaded firmware file: after the kill every file is complete,
// old or new, and the tool starts normally.
class tst_CrashSafety : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void killedWhileWritingIni_data();
    void killedWhileWritingIni();
    void killedWhileDownloading();

private:
    // Starts crashchild, waits until it has finished one round, then kills
    // it _delayMs later.
    bool runAndKill(const QStringList& _args, int _delayMs);
    void toolStartsNormally();
};

void tst_CrashSafety::initTestCase()
{
    qRegisterMetaType<QProcess::ExitStatus>();
    QVERIFY(QFile::exists(CRASH_CHILD));
}

bool tst_CrashSafety::runAndKill(const QStringList& _args, int _delayMs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(CRASH_CHILD, _args);
    QSignalSpy output(&child, &QProcess::readyReadStandardOutput);
    if (!child.waitForStarted() || !output.wait(kReadyMs) || !child.readAllStandardOutput().contains("ready")) {
        qWarning() << "crashchild did not get ready";
        return false;
    }
    QSignalSpy finished(&child, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    QTimer::singleShot(_delayMs, &child, &QProcess::kill);
    if (!finished.wait(kReadyMs)) {
        qWarning() << "crashchild did not end";
        return false;
    }
    if (child.exitStatus() != QProcess::CrashExit)
        qWarning() << "crashchild ended on its own with" << child.exitCode();
    // Killed, not ended on its own (which would mean a failed write).
    return child.exitStatus() == QProcess::CrashExit;
}

void tst_CrashSafety::toolStartsNormally()
{
    // What a kill between creating a lock file and writing into it leaves:
    // the next write would wait 30 s for it to age.
    const QStringList locks{BackupIni::path() + ".lock", getSettings()->fileName() + ".lock"};
    for (const QString& lock : locks)
        QVERIFY(QFile(lock).open(QIODevice::WriteOnly));
    LogCapture log;
    CProg2Gui bridge;
    for (const QString& lock : locks) {
        QVERIFY(!QFile::exists(lock));
        QCOMPARE(log.count(QString("removed empty lock file '%1'").arg(lock)), 1);
    }
    const FirmwareUpdate* held = bridge.fileModel()->findByDevType(1);
    QVERIFY(held);
    QCOMPARE(held->m_fileName, QString("held_1.ota"));
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateIdle);
    QCOMPARE(QDir(getUpdatePath()).entryList({"*.part"}, QDir::Files), QStringList());
}

void tst_CrashSafety::killedWhileWritingIni_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("backup.ini") << "backup";
    QTest::newRow("settings file") << "settings";
}

void tst_CrashSafety::killedWhileWritingIni()
{
    QFETCH(QString, mode);
    TestSettings settings;
    QVERIFY(QDir().mkpath(getUpdatePath()));
    {
        QSettings backup(BackupIni::path(), QSettings::IniFormat);
        backup.setValue("devices/known_devices", QStringList{"1"});
        backup.setValue("1/id", 1);
        backup.setValue("1/ver", "1.0.0");
        backup.setValue("1/file", "held_1.ota");
        QVERIFY(BackupIni::sync(backup));
    }
    QVERIFY(DevelopmentSigner().writeFile(getUpdatePath(), "held_1.ota", image('h', 2000)));
    settings.settings()->sync();
    const QString file = mode == "backup" ? BackupIni::path() : settings.settings()->fileName();

    int lastRound = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        // Delays spread over a few writes, so that the kills land at
        // different points of a write. Under Wine a write takes several
        // times as long.
        const int delayMs = runsUnderWine() ? (kill * 17) % 200 : (kill * 7) % 40;
        QVERIFY(runAndKill({settings.settings()->fileName(), mode}, delayMs));
        QSettings ini(file, QSettings::IniFormat);
        QCOMPARE(ini.status(), QSettings::NoError);
        const int round = ini.value("round/last").toInt();
        QVERIFY2(round >= 1, qPrintable(QString("kill %1: no complete round in %2").arg(kill).arg(file)));
        for (int i = 0; i < kKeys; ++i) {
            const QString value = ini.value(QString("round/k%1").arg(i)).toString();
            QVERIFY2(
                value.section(' ', 0, 0).toInt() == round,
                qPrintable(QString("kill %1: key %2 holds '%3', round %4").arg(kill).arg(i).arg(value).arg(round)));
        }
        // What was there before the writes is still there.
        QCOMPARE(ini.value(mode == "backup" ? "1/file" : "update/UpdateUrl").toString(),
                 mode == "backup" ? QString("held_1.ota") : QString(TestSettings::kUnansweredUpdateUrl));
        lastRound = round;
    }
    QVERIFY(lastRound > 1);
    settings.settings()->sync(); // takes up what the children wrote
    toolStartsNormally();
}

void tst_CrashSafety::killedWhileDownloading()
{
    if (!DevelopmentSigner::embeddedKeyIsDevelopmentKey())
        QSKIP("this build embeds a release key; content signed with the development key cannot verify");
    TestSettings settings;
    QTemporaryDir served;
    QVERIFY(QDir().mkpath(getUpdatePath()));
    {
        QSettings backup(BackupIni::path(), QSettings::IniFormat);
        backup.setValue("devices/known_devices", QStringList{"1"});
        backup.setValue("1/id", 1);
        backup.setValue("1/ver", "1.0.0");
        backup.setValue("1/file", "held_1.ota");
        QVERIFY(BackupIni::sync(backup));
    }
    DevelopmentSigner signer;
    QVERIFY(signer.writeFile(getUpdatePath(), "held_1.ota", image('h', 2000)));
    // Large enough that a kill lands in the transfer or in the write more
    // often than not.
    const QByteArray oldImage = image('o', 3 << 20);
    const QList<QByteArray> images{image('a', 3 << 20), image('b', 2 << 20)};
    QVERIFY(signer.writeFile(getUpdatePath(), "fw.bin", oldImage));
    QByteArrayList signatures{readFile(getUpdatePath() + "/fw.sig")};
    UpdateServer server(served.path());
    QVERIFY(server.listen());
    settings.settings()->sync();

    for (int kill = 0; kill < kKills; ++kill) {
        const QByteArray& served1 = images.at(kill % 2);
        QVERIFY(signer.writeFile(served.path(), "fw.bin", served1));
        signatures.append(readFile(served.filePath("fw.sig")));
        QVERIFY(runAndKill({settings.settings()->fileName(), "download", server.baseUrl()}, (kill * 11) % 60));
        const QByteArray data = readFile(getUpdatePath() + "/fw.bin");
        QVERIFY2(data == oldImage || images.contains(data), qPrintable(QString("kill %1: fw.bin is %2 bytes of "
                                                                               "nothing known")
                                                                           .arg(kill)
                                                                           .arg(data.size())));
        QVERIFY(signatures.contains(readFile(getUpdatePath() + "/fw.sig")));
    }
    toolStartsNormally();
}

QTEST_GUILESS_MAIN(tst_CrashSafety)
#include "tst_crashsafety.moc"
