#include <QtTest>

#include "EndToEndRig.h"
#include "Publisher.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "support/E2eTimings.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

using namespace E2eTimings;

namespace {
bool run(const QString& _program, const QStringList& _args)
{
    QProcess process;
    process.start(_program, _args);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A small tmpfs over a folder for the length of a test function.
class TinyFilesystem
{
public:
    bool mount(const QString& _dir, int _kilobytes)
    {
        m_dir = _dir;
        m_mounted = run("mount", {"-t", "tmpfs", "-o", QString("size=%1k").arg(_kilobytes), "tmpfs", _dir});
        return m_mounted;
    }
    bool makeReadOnly() { return run("mount", {"-o", "remount,ro", m_dir}); }
    ~TinyFilesystem()
    {
        if (m_mounted)
            run("umount", {"-l", m_dir});
    }

private:
    QString m_dir;
    bool m_mounted = false;
};
} // namespace

// The update folder or "backup.ini" misbehaves: the tool logs it clearly,
// does not crash, and loses no file it had verified.
class tst_FileFaults : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void folderCannotTakeDownloads_data();
    void folderCannotTakeDownloads();
    void backupIniCutInTheMiddle();
    void reusedNameWhileBackupIniFails();

private:
    std::unique_ptr<EndToEndRig> m_rig;
};

void tst_FileFaults::init()
{
    START_END_TO_END_RIG(m_rig);
}

void tst_FileFaults::cleanup()
{
    m_rig.reset();
}

void tst_FileFaults::folderCannotTakeDownloads_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("logLine"); // part of the line that names the fault
    QTest::newRow("read-only update folder") << true << "could not store";
    // Room for what the tool holds, not for all the new images.
    QTest::newRow("disk full") << false << "can not write";
}

void tst_FileFaults::folderCannotTakeDownloads()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, logLine);
    EndToEndRig& rig = *m_rig;
    TinyFilesystem filesystem;
    QVERIFY(QDir().mkpath(rig.updatePath()));
    if (!filesystem.mount(rig.updatePath(), 64))
        QSKIP("mounting a tmpfs is not permitted here");
    const QList<quint16> types{1, 2, 4};
    for (quint16 type : types)
        QVERIFY2(rig.hold({type, "1.0.0", 2500}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{1, "1.1.0", 30000}, {2, "1.0.7", 30000}, {4, "2.0.0", 30000}}), qPrintable(rig.error()));
    QHash<QString, QByteArray> before;
    for (const QString& name : QDir(rig.updatePath()).entryList(QDir::Files))
        before.insert(name, readFile(rig.updatePath() + "/" + name));
    if (readOnly)
        QVERIFY(filesystem.makeReadOnly());

    LogCapture log;
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    FirmwareUpdateFileModel* files = bridge->fileModel();
    QTRY_VERIFY_WITH_TIMEOUT(rig.isIndexVerified(), kConnectMs);
    rig.startDownload();
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kDownloadMs);
    QVERIFY2(log.contains(logLine), qPrintable(logLine));

    // Every row either took its new file or kept the one it had, on disk
    // and in "backup.ini" alike.
    int failed = 0;
    // Read from a copy: QSettings in one process shares what it has not
    // written yet, the file on disk is what a restart would see.
    QTemporaryDir copy;
    QVERIFY(QFile::copy(rig.updatePath() + "/backup.ini", copy.filePath("backup.ini")));
    QSettings backup(copy.filePath("backup.ini"), QSettings::IniFormat);
    QCOMPARE(backup.status(), QSettings::NoError);
    for (quint16 type : types) {
        const FirmwareUpdate* row = files->findByDevType(type);
        QVERIFY(row);
        const QString held = QString("held_%1.ota").arg(type);
        const QString onRecord = backup.value(QString("%1/file").arg(type)).toString();
        if (row->m_result == ProgressHelper::eResultSuccess) {
            QCOMPARE(readFile(rig.updatePath() + "/" + row->m_fileName), rig.servedImage(type));
            QCOMPARE(onRecord, row->m_fileName);
        } else {
            ++failed;
            QCOMPARE(row->m_result, ProgressHelper::eResultFail);
            QCOMPARE(row->m_fileName, held);
            QCOMPARE(onRecord, held);
            QCOMPARE(readFile(rig.updatePath() + "/" + held), before.value(held));
        }
    }
    QVERIFY(failed > 0);
    if (readOnly)
        QCOMPARE(failed, types.size());
    QString why;
    QVERIFY2(rig.updateFolderHoldsOnlyVerified(&why), qPrintable(why));
}

void tst_FileFaults::backupIniCutInTheMiddle()
{
    EndToEndRig& rig = *m_rig;
    const QList<quint16> types{1, 2, 4};
    for (quint16 type : types)
        QVERIFY2(rig.hold({type, "1.0.0", 2500}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{1, "1.1.0", 3000}, {2, "1.0.7", 3000}, {4, "2.0.0", 3000}}), qPrintable(rig.error()));
    const QString path = rig.updatePath() + "/backup.ini";
    QByteArray text = readFile(path);
    QVERIFY(text.size() > 40);
    text.truncate(text.size() / 2);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(text), qint64(text.size()));
    }

    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    // No verified file is deleted for what "backup.ini" no longer names.
    for (quint16 type : types)
        QVERIFY(QFile::exists(rig.updatePath() + QString("/held_%1.ota").arg(type)));

    // The tool downloads as ever and "backup.ini" is whole again.
    QTRY_VERIFY_WITH_TIMEOUT(rig.isIndexVerified(), kConnectMs);
    rig.startDownload();
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kDownloadMs);
    QVERIFY(rig.holdsOffered());
    QSettings backup(path, QSettings::IniFormat);
    for (quint16 type : types)
        QCOMPARE(backup.value(QString("%1/ver").arg(type)).toString(), formatVersion(rig.offeredVersion(type)));
    QString why;
    QVERIFY2(rig.updateFolderHoldsOnlyVerified(&why), qPrintable(why));
}

void tst_FileFaults::reusedNameWhileBackupIniFails()
{
    EndToEndRig& rig = *m_rig;
    QVERIFY2(rig.hold({2, "1.0.0", 2500}), qPrintable(rig.error()));
    const QString heldPath = rig.updatePath() + "/held_2.ota";
    const QByteArray held = readFile(heldPath);
    // The index offers the new version under the name of the file held now.
    const QByteArray newer = Publisher::otaImage(2, parseVersion("1.0.7"), 3000);
    QVERIFY2(rig.publish("held_2.ota", newer), qPrintable(rig.error()));
    QList<Publisher::IndexEntry> entries{{2, "wall", "1.0.7", "held_2.ota"}};
    QString error;
    QVERIFY2(Publisher::bindFiles(&entries, rig.servedPath(), &error), qPrintable(error));
    QVERIFY2(rig.writeIndex(entries, 1), qPrintable(rig.error()));

    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    FirmwareUpdate* row = bridge->fileModel()->findByDevType(2);
    QVERIFY(row);
    QTRY_VERIFY_WITH_TIMEOUT(rig.isIndexVerified(), kConnectMs);

    // "backup.ini" cannot be written: a folder stands in its place.
    const QString backupPath = rig.updatePath() + "/backup.ini";
    const QByteArray backup = readFile(backupPath);
    QVERIFY(QFile::remove(backupPath));
    QVERIFY(QDir().mkdir(backupPath));
    rig.startDownload();
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kDownloadMs);
    QVERIFY(QDir().rmdir(backupPath));
    QVERIFY(writeFile(backupPath, backup));

    // The held file keeps its bytes, its row its version: what the record says.
    QCOMPARE(row->m_result, ProgressHelper::eResultFail);
    QCOMPARE(row->m_version, parseVersion("1.0.0"));
    QCOMPARE(row->m_fileName, QString("held_2.ota"));
    QCOMPARE(readFile(heldPath), held);
    QCOMPARE(QDir(rig.updatePath()).entryList(QDir::Files), (QStringList{"backup.ini", "held_2.ota", "held_2.sig"}));

    // Once "backup.ini" takes it, the new file is on record before the held
    // one goes; both stay in agreement.
    rig.startDownload();
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kDownloadMs);
    QCOMPARE(row->m_result, ProgressHelper::eResultSuccess);
    QCOMPARE(row->m_version, parseVersion("1.0.7"));
    QCOMPARE(readFile(rig.updatePath() + "/" + row->m_fileName), newer);
    QSettings record(backupPath, QSettings::IniFormat);
    QCOMPARE(record.value("2/ver").toString(), QString("1.0.7"));
    QCOMPARE(record.value("2/file").toString(), row->m_fileName);
    QVERIFY(!QFile::exists(heldPath));
    QString why;
    QVERIFY2(rig.updateFolderHoldsOnlyVerified(&why), qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_FileFaults)
#include "tst_filefaults.moc"
