#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "common/FirmwareUpdate.h"
#include "common/settings.h"
#include "content/BackupIni.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateFolder.h"
#include "link/StickInterface.h"
#include "support/DevelopmentSigner.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"
#include "support/TestSettings.h"

namespace {
struct Group
{
    QString name;
    int id;
    QString ver; // "-" leaves the key out
    QString file;
    int duration;
};

void writeIni(const QString& _path, const QList<Group>& _groups, const QStringList& _known, int _keepOld = -1)
{
    QSettings ini(_path, QSettings::IniFormat);
    ini.setValue("devices/known_devices", _known);
    if (_keepOld >= 0)
        ini.setValue("devices/keep_old", _keepOld == 1);
    for (const Group& group : _groups) {
        ini.setValue(group.name + "/id", group.id);
        if (group.ver != "-")
            ini.setValue(group.name + "/ver", group.ver);
        if (!group.file.isEmpty())
            ini.setValue(group.name + "/file", group.file);
        if (group.duration >= 0)
            ini.setValue(group.name + "/duration", group.duration);
    }
}
} // namespace

// "backup.ini" and "production.ini" with real files in temporary folders:
// pruning, the import of shipped firmware, loading at start and the
// average update duration.
class tst_BackupIni : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartWritesBackupKeys();
    void pruneMissingFiles();
    void productionImport_data();
    void productionImport();
    void productionSpecialEntries();
    void copyFirmwareFile_data();
    void copyFirmwareFile();
    void copyFirmwareFileKeepsToItsFolders_data();
    void copyFirmwareFileKeepsToItsFolders();
    void plainFileNames_data();
    void plainFileNames();
    void loadAnnouncesStickAndTool_data();
    void loadAnnouncesStickAndTool();
    void updateDurationAverage();
    void updateDurationOfExtremeAverages_data();
    void updateDurationOfExtremeAverages();

private:
    QString backupPath() const { return getUpdatePath() + "/backup.ini"; }
    QString productionDir() const { return m_app->path() + "/device"; }

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_app;
    QString m_savedApplDirPath;
    DevelopmentSigner m_signer;
};

void tst_BackupIni::initTestCase()
{
    if (!DevelopmentSigner::embeddedKeyIsDevelopmentKey())
        QSKIP("this build embeds a release key; files signed with the development key cannot verify");
    QVERIFY(m_signer.isValid());
}

void tst_BackupIni::init()
{
    m_settings = std::make_unique<TestSettings>();
    m_app = std::make_unique<QTemporaryDir>();
    m_savedApplDirPath = applDirPath;
    applDirPath = m_app->path();
    QVERIFY(QDir().mkpath(getUpdatePath()));
    QVERIFY(QDir().mkpath(productionDir()));
}

void tst_BackupIni::cleanup()
{
    applDirPath = m_savedApplDirPath;
    m_app.reset();
    m_settings.reset();
}

void tst_BackupIni::firstStartWritesBackupKeys()
{
    QVERIFY(QDir(getUpdatePath()).removeRecursively());
    CProg2Gui bridge;
    QVERIFY(QFile::exists(backupPath()));
    QSettings backup(backupPath(), QSettings::IniFormat);
    QVERIFY(backup.contains("devices/known_devices"));
    QVERIFY(backup.value("devices/known_devices").toStringList().isEmpty());
    QVERIFY(backup.contains("devices/keep_old"));
    QCOMPARE(backup.value("devices/keep_old").toBool(), false);
}

void tst_BackupIni::pruneMissingFiles()
{
    // Held from before digests were recorded: a signed file, one that no
    // signature covers, one whose signature is of other bytes.
    QVERIFY(m_signer.writeFile(getUpdatePath(), "here.ota", "firmware"));
    QVERIFY(m_signer.writeFile(getUpdatePath(), "unsigned.ota", "firmware", false));
    QVERIFY(m_signer.writeFile(getUpdatePath(), "other.ota", "firmware"));
    QVERIFY(writeFile(getUpdatePath() + "/other.ota", "other firmware"));
    writeIni(backupPath(),
             {{"1", 1, "1.0.0", "here.ota", 120},
              {"2", 2, "2.0.0", "gone.ota", 240},
              {"4", 4, "-", "", 360},
              {"5", 5, "1.0.0", "unsigned.ota", 480},
              {"7", 7, "1.0.0", "other.ota", 600}},
             {"1", "2", "4", "5", "7"});
    LogCapture log;
    CProg2Gui bridge;

    QSettings backup(backupPath(), QSettings::IniFormat);
    QCOMPARE(backup.value("devices/known_devices").toStringList(), (QStringList{"1", "2", "4", "5", "7"}));
    QCOMPARE(backup.value("1/file").toString(), QString("here.ota"));
    QCOMPARE(backup.value("1/ver").toString(), QString("1.0.0"));
    // From now on its digest stands for it.
    QCOMPARE(backup.value("1/size").toInt(), 8);
    QCOMPARE(backup.value("1/sha256").toByteArray(),
             QCryptographicHash::hash("firmware", QCryptographicHash::Sha256).toHex());
    for (const QString group : {"2", "5", "7"}) {
        QVERIFY2(!backup.contains(group + "/ver"), qPrintable(group));
        QVERIFY2(!backup.contains(group + "/file"), qPrintable(group));
        QVERIFY2(!backup.contains(group + "/sha256"), qPrintable(group));
    }
    QCOMPARE(backup.value("2/id").toInt(), 2);
    QCOMPARE(backup.value("2/duration").toInt(), 240);
    QCOMPARE(bridge.fileModel()->findByDevType(5)->m_version, kNoVersion);
    QCOMPARE(log.count("missing file: 'gone.ota'"), 1);
    QCOMPARE(log.count("missing file: ''"), 0); // a group pruned before stays quiet

    // The pruned type is known without a version: nothing held.
    const FirmwareUpdate* pruned = bridge.fileModel()->findByDevType(2);
    QVERIFY(pruned);
    QCOMPARE(pruned->m_version, kNoVersion);
    QCOMPARE(bridge.fileModel()->findByDevType(1)->m_version, 0x010000u);
}

void tst_BackupIni::productionImport_data()
{
    QTest::addColumn<QString>("backupVer");     // "absent": the type is not in backup.ini
    QTest::addColumn<QString>("productionVer"); // followed by " unsigned": shipped without its signature
    QTest::addColumn<bool>("keepOld");
    QTest::addColumn<bool>("copied");
    QTest::addColumn<int>("duration");

    QTest::newRow("newer production replaces") << "2.0.5"
                                               << "2.1.0" << false << true << 250;
    QTest::newRow("newer production, keep_old") << "2.0.5"
                                                << "2.1.0" << true << true << 250;
    QTest::newRow("numbers, not texts: 1.10.0 over 1.9.0") << "1.9.0"
                                                           << "1.10.0" << false << true << 250;
    QTest::newRow("same version") << "2.1.0"
                                  << "2.1.0" << false << false << 250;
    QTest::newRow("backup newer") << "2.2.0"
                                  << "2.1.0" << false << false << 250;
    QTest::newRow("empty backup version counts as not found") << ""
                                                              << "2.1.0" << false << true << 600;
    QTest::newRow("type not in backup") << "absent"
                                        << "2.1.0" << false << true << 600;
    QTest::newRow("newer production without its signature") << "2.0.5"
                                                            << "2.1.0 unsigned" << false << false << 250;
}

void tst_BackupIni::productionImport()
{
    QFETCH(QString, backupVer);
    QFETCH(QString, productionVer);
    QFETCH(bool, keepOld);
    QFETCH(bool, copied);
    QFETCH(int, duration);

    const bool shippedSigned = !productionVer.endsWith(" unsigned");
    productionVer = productionVer.section(' ', 0, 0);
    QVERIFY(m_signer.writeFile(getUpdatePath(), "old.ota", "old firmware"));
    if (backupVer == "absent")
        writeIni(backupPath(), {{"6", 6, "1.0.0", "old.ota", 50}}, {"6"}, keepOld);
    else
        writeIni(backupPath(), {{"4", 4, backupVer.isEmpty() ? "-" : backupVer, "old.ota", 250}}, {"4"}, keepOld);
    QVERIFY(m_signer.writeFile(productionDir(), "plug.ota", "shipped firmware", shippedSigned));
    writeIni(productionDir() + "/production.ini", {{"4", 4, productionVer, "plug.ota", 600}}, {"4"});
    const QByteArray backupBefore = readFile(backupPath());

    CProg2Gui bridge;

    QSettings backup(backupPath(), QSettings::IniFormat);
    QCOMPARE(QFile::exists(getUpdatePath() + "/plug.ota"), copied);
    if (!copied) {
        QCOMPARE(backup.value("4/ver").toString(), backupVer);
        QCOMPARE(backup.value("4/file").toString(), QString("old.ota"));
        QVERIFY(QFile::exists(getUpdatePath() + "/old.ota"));
        QVERIFY(!QFile::exists(getUpdatePath() + "/plug.sig"));
        return;
    }
    QCOMPARE(readFile(getUpdatePath() + "/plug.ota"), QByteArray("shipped firmware"));
    // With its signature, and recorded with the digest of what was checked.
    QCOMPARE(readFile(getUpdatePath() + "/plug.sig"), readFile(productionDir() + "/plug.sig"));
    QCOMPARE(backup.value("4/size").toInt(), 16);
    QCOMPARE(backup.value("4/sha256").toByteArray(),
             QCryptographicHash::hash("shipped firmware", QCryptographicHash::Sha256).toHex());
    QCOMPARE(backup.value("4/id").toInt(), 4);
    QCOMPARE(backup.value("4/ver").toString(), productionVer);
    QCOMPARE(backup.value("4/file").toString(), QString("plug.ota"));
    QCOMPARE(backup.value("4/duration").toInt(), duration); // a measured average stays
    QVERIFY(backup.value("devices/known_devices").toStringList().contains("4"));
    if (backupVer != "absent") {
        // The replaced file goes with its signature unless keep_old.
        QCOMPARE(QFile::exists(getUpdatePath() + "/old.ota"), keepOld);
        QCOMPARE(QFile::exists(getUpdatePath() + "/old.sig"), keepOld);
    }
    QCOMPARE(bridge.fileModel()->findByDevType(4)->versionString(), productionVer);
    QVERIFY(backupBefore != readFile(backupPath()));
}

void tst_BackupIni::productionSpecialEntries()
{
    QVERIFY(m_signer.writeFile(productionDir(), "tool.zip", "tool package"));
    writeIni(productionDir() + "/production.ini",
             {{"9999", 9999, "9.9.9", "tool.zip", 0},
              {"1", 1, "1.5.0", "", 300},                // no file: listed, never copied or recorded
              {"2", 2, "1.0.0", "notshipped.ota", 300}}, // named but not shipped
             {"9999", "1", "2"});
    CProg2Gui bridge;

    QSettings backup(backupPath(), QSettings::IniFormat);
    // The tool is recorded with its own version, whatever production.ini says.
    QCOMPARE(backup.value("9999/ver").toString(), QString("1.2.0"));
    QCOMPARE(backup.value("9999/file").toString(), QString("tool.zip"));
    QVERIFY(QFile::exists(getUpdatePath() + "/tool.zip"));
    QVERIFY(!bridge.applVersion().hasUpdate());

    QVERIFY(!backup.childGroups().contains("1"));
    const FirmwareUpdate* noFile = bridge.fileModel()->findByDevType(1);
    QVERIFY(noFile);
    QCOMPARE(noFile->versionString(), QString("1.5.0"));

    QVERIFY(!backup.childGroups().contains("2"));
    QCOMPARE(backup.value("devices/known_devices").toStringList(), QStringList{"9999"});
}

void tst_BackupIni::copyFirmwareFile_data()
{
    QTest::addColumn<bool>("source");
    QTest::addColumn<bool>("target");
    QTest::addColumn<QString>("oldFile");
    QTest::addColumn<bool>("keepOld");
    QTest::addColumn<bool>("targetDirExists");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("oldRemains");

    QTest::newRow("copied, old deleted") << true << false << "old.ota" << false << true << true << false;
    QTest::newRow("copied, old kept") << true << false << "old.ota" << true << true << true << true;
    QTest::newRow("copied, no old file") << true << false << "" << false << true << true << true;
    QTest::newRow("no source: nothing, success") << false << false << "old.ota" << false << true << true << true;
    QTest::newRow("target there: nothing, success") << true << true << "old.ota" << false << true << true << true;
    QTest::newRow("copy fails") << true << false << "old.ota" << false << false << false << true;
}

void tst_BackupIni::copyFirmwareFile()
{
    QFETCH(bool, source);
    QFETCH(bool, target);
    QFETCH(QString, oldFile);
    QFETCH(bool, keepOld);
    QFETCH(bool, targetDirExists);
    QFETCH(bool, result);
    QFETCH(bool, oldRemains);

    CProg2Gui bridge;
    QTemporaryDir dirs;
    const QString sourceDir = dirs.path() + "/from";
    const QString targetDir = dirs.path() + (targetDirExists ? "/to" : "/missing");
    QVERIFY(QDir().mkpath(sourceDir));
    QVERIFY(QDir().mkpath(dirs.path() + "/to"));
    if (source)
        QVERIFY(writeFile(sourceDir + "/fw.ota", "new"));
    if (target)
        QVERIFY(writeFile(targetDir + "/fw.ota", "present"));
    if (targetDirExists)
        QVERIFY(writeFile(targetDir + "/old.ota", "old"));

    QCOMPARE(BackupIni::copyFirmwareFile(sourceDir, targetDir, "fw.ota", oldFile, keepOld), result);
    if (target)
        QCOMPARE(readFile(targetDir + "/fw.ota"), QByteArray("present"));
    else if (source && result)
        QCOMPARE(readFile(targetDir + "/fw.ota"), QByteArray("new"));
    else
        QVERIFY(!QFile::exists(targetDir + "/fw.ota"));
    if (targetDirExists)
        QCOMPARE(QFile::exists(targetDir + "/old.ota"), oldRemains);
}

void tst_BackupIni::copyFirmwareFileKeepsToItsFolders_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("oldFile"); // "OUTSIDE": the absolute path of the file outside
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("copied");

    // A backup.ini entry naming a file above the update folder once had that file deleted.
    QTest::newRow("old file above the folder stays") << "fw.ota"
                                                     << "../outside.ota" << true << true;
    QTest::newRow("old file by absolute path stays") << "fw.ota"
                                                     << "OUTSIDE" << true << true;
    QTest::newRow("old file by Windows path stays") << "fw.ota"
                                                    << "..\\outside.ota" << true << true;
    QTest::newRow("file with a folder part") << "../from/fw.ota"
                                             << "" << false << false;
    QTest::newRow("file by Windows path") << "..\\from\\fw.ota"
                                          << "" << false << false;
    QTest::newRow("Windows device name") << "NUL.ota"
                                         << "" << false << false;
}

void tst_BackupIni::copyFirmwareFileKeepsToItsFolders()
{
    QFETCH(QString, file);
    QFETCH(QString, oldFile);
    QFETCH(bool, result);
    QFETCH(bool, copied);

    CProg2Gui bridge;
    QTemporaryDir dirs;
    const QString sourceDir = dirs.path() + "/from";
    const QString targetDir = dirs.path() + "/to";
    const QString outside = dirs.path() + "/outside.ota";
    QVERIFY(QDir().mkpath(sourceDir));
    QVERIFY(QDir().mkpath(targetDir));
    QVERIFY(writeFile(sourceDir + "/fw.ota", "new"));
    // On Windows NUL is the null device in every folder, never a file.
#ifdef Q_OS_WIN
    const QStringList sourceFiles{"fw.ota"};
#else
    const QStringList sourceFiles{"fw.ota", "NUL.ota"};
    QVERIFY(writeFile(sourceDir + "/NUL.ota", "device"));
#endif
    QVERIFY(writeFile(outside, "not ours"));
    if (oldFile == "OUTSIDE")
        oldFile = outside;

    LogCapture log;
    QCOMPARE(BackupIni::copyFirmwareFile(sourceDir, targetDir, file, oldFile, false), result);
    QCOMPARE(readFile(outside), QByteArray("not ours"));
    QCOMPARE(QDir(targetDir).entryList(QDir::Files), copied ? QStringList{"fw.ota"} : QStringList());
    QCOMPARE(QDir(dirs.path()).entryList(QDir::Files), QStringList{"outside.ota"});
    QCOMPARE(QDir(sourceDir).entryList(QDir::Files), sourceFiles);
    QVERIFY(log.contains(QString("not a plain file name: '%1'").arg(copied ? oldFile : file)));
}

void tst_BackupIni::plainFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("name and extension") << "plug_1.0.0.ota" << true;
    QTest::newRow("no extension") << "firmware" << true;
    QTest::newRow("blank inside") << "a b.ota" << true;
    QTest::newRow("leading dot") << ".hidden" << true;
    QTest::newRow("device name inside a longer name") << "CONSOLE.ota" << true;
    QTest::newRow("COM10 is no device") << "COM10.bin" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("dots and blanks") << ". .." << false;
    QTest::newRow("parent folder") << "../x.ota" << false;
    QTest::newRow("subfolder") << "fw/x.ota" << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("backslash") << "fw\\x.ota" << false;
    QTest::newRow("drive") << "C:x.ota" << false;
    QTest::newRow("control character") << "a\tb.ota" << false;
    QTest::newRow("wildcard") << "a*.ota" << false;
    QTest::newRow("CON") << "CON" << false;
    QTest::newRow("nul with extension, lower case") << "nul.txt" << false;
    QTest::newRow("COM1") << "COM1.bin" << false;
    QTest::newRow("LPT9 with blank") << "LPT9 .bin" << false;
}

void tst_BackupIni::plainFileNames()
{
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(UpdateFolder::isPlainFileName(name), plain);
}

void tst_BackupIni::loadAnnouncesStickAndTool_data()
{
    QTest::addColumn<QString>("toolVer");
    QTest::addColumn<bool>("toolUpdate");
    QTest::newRow("newer tool package held") << "1.3.0" << true;
    QTest::newRow("older tool package held") << "1.1.9" << false;
}

void tst_BackupIni::loadAnnouncesStickAndTool()
{
    QFETCH(QString, toolVer);
    QFETCH(bool, toolUpdate);
    for (const char* file : {"stick.bin", "tool.zip", "ce.ota"})
        QVERIFY(m_signer.writeFile(getUpdatePath(), file, "x"));
    writeIni(
        backupPath(),
        {{"6", 6, "3.0.0", "stick.bin", 90}, {"9999", 9999, toolVer, "tool.zip", 0}, {"1", 1, "1.4.0", "ce.ota", -1}},
        {"6", "9999", "1"});

    CProg2Gui bridge;

    const StickInterface* stick = bridge.stickInterface();
    QCOMPARE(stick->stickDevType(), quint16(6));
    QCOMPARE(stick->stickFirmware().m_update.version, 0x030000u);
    QCOMPARE(stick->stickFirmware().m_update.fileName, QString("stick.bin"));
    QCOMPARE(bridge.applVersion().hasUpdate(), toolUpdate);
    if (toolUpdate)
        QCOMPARE(bridge.applVersion().m_update.fileName, QString("tool.zip"));

    // Every group reaches the file list, the stick's and the tool's included.
    const FirmwareUpdateFileModel* model = bridge.fileModel();
    QCOMPARE(model->findByDevType(6)->versionString(), QString("3.0.0"));
    QCOMPARE(model->findByDevType(6)->m_duration, 90);
    QCOMPARE(model->findByDevType(9999)->versionString(), toolVer);
    QCOMPARE(model->findByDevType(1)->m_fileName, QString("ce.ota"));
    QCOMPARE(model->findByDevType(1)->m_duration, 0); // absent duration reads 0
}

void tst_BackupIni::updateDurationAverage()
{
    // The record keeps the average; the OTA server records it in backup.ini.
    FirmwareUpdate record(4, "1.0.0");
    QCOMPARE(record.m_duration, -1);
    QVERIFY(record.updateDuration(300));
    QCOMPARE(record.m_duration, 100);
    QVERIFY(record.updateDuration(300));
    QCOMPARE(record.m_duration, 167);
    QVERIFY(!record.updateDuration(-1)); // no valid measurement
    QCOMPARE(record.m_duration, 167);
}

void tst_BackupIni::updateDurationOfExtremeAverages_data()
{
    // Averages as a hand-edited backup.ini may hold them; the arithmetic once overflowed.
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("average");
    QTest::newRow("largest int") << INT_MAX << 10800 << 1431659365;
    QTest::newRow("smallest int") << INT_MIN << 0 << -1431655764;
}

void tst_BackupIni::updateDurationOfExtremeAverages()
{
    QFETCH(int, stored);
    QFETCH(int, seconds);
    QFETCH(int, average);
    writeIni(backupPath(), {{"4", 4, "1.0.0", "plug.ota", -1}}, {"4"});
    QSettings(backupPath(), QSettings::IniFormat).setValue("4/duration", stored);
    QVERIFY(m_signer.writeFile(getUpdatePath(), "plug.ota", "firmware"));
    CProg2Gui bridge;
    FirmwareUpdate* record = bridge.fileModel()->findByDevType(4);
    QVERIFY(record);
    QCOMPARE(record->m_duration, stored);
    record->updateDuration(seconds);
    QCOMPARE(record->m_duration, average);
}

QTEST_GUILESS_MAIN(tst_BackupIni)
#include "tst_backupini.moc"
