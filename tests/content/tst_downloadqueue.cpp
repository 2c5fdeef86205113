#include <QtTest>

#include "Publisher.h"
#include "UpdateServer.h"
#include "bridge/CProg2Gui.h"
#include "common/DeviceType.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateIndex.h"
#include "link/StickInterface.h"
#include "support/DevelopmentSigner.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"
#include "support/TestSettings.h"

namespace {
constexpr int kWaitMs = 15000;

int rowOf(const FirmwareUpdateFileModel& _model, quint16 _devType)
{
    const QString name = DeviceType::deviceTypeName(_devType);
    for (int row = 0; row < _model.rowCount(); ++row) {
        if (_model.get(row).value("name").toString().contains(name))
            return row;
    }
    return -1;
}

QByteArray image(quint16 _type, const QString& _version, int _size = 3000)
{
    return Publisher::otaImage(_type, parseVersion(_version), _size);
}
} // namespace

// The download queue of the firmware list end to end: content published
// with the development key, served on loopback, fetched, verified, stored
// and recorded in "backup.ini".
class tst_DownloadQueue : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void mixedOutcomes_data();
    void mixedOutcomes();
    void storedUnderThePlainName_data();
    void storedUnderThePlainName();
    void emptyVerifiedFileFails();

private:
    // backup.ini with the given groups (type -> version, file) and their files on disk.
    void prepareBackup(const QList<QPair<quint16, QString>>& _held, bool _keepOld);
    void publish(const QList<Publisher::IndexEntry>& _entries);
    void startQueue();

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_served;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<CProg2Gui> m_bridge;
    DevelopmentSigner m_signer;
    QString m_updatePath;
};

void tst_DownloadQueue::init()
{
    if (!DevelopmentSigner::embeddedKeyIsDevelopmentKey())
        QSKIP("this build embeds a release key; content signed with the development key cannot verify");
    QVERIFY(m_signer.isValid());
    m_settings = std::make_unique<TestSettings>();
    m_served = std::make_unique<QTemporaryDir>();
    m_server = std::make_unique<UpdateServer>(m_served->path());
    QVERIFY(m_server->listen());
    m_settings->settings()->setValue("update/UpdateUrl", m_server->baseUrl() + "/");
    m_settings->settings()->setValue("update/UpdateSigExt", "sig");
    m_updatePath = getUpdatePath();
    QVERIFY(QDir().mkpath(m_updatePath));
}

void tst_DownloadQueue::cleanup()
{
    m_bridge.reset();
    m_server.reset();
    m_served.reset();
    m_settings.reset();
}

void tst_DownloadQueue::prepareBackup(const QList<QPair<quint16, QString>>& _held, bool _keepOld)
{
    QSettings backup(m_updatePath + "/backup.ini", QSettings::IniFormat);
    QStringList known;
    for (const auto& held : _held) {
        const QString group = QString::number(held.first);
        const QString file = QString("held_%1.ota").arg(held.first);
        known.append(group);
        backup.setValue(group + "/id", held.first);
        backup.setValue(group + "/ver", held.second);
        backup.setValue(group + "/file", file);
        backup.setValue(group + "/duration", 100 + held.first);
        QVERIFY(m_signer.writeFile(m_updatePath, file, image(held.first, held.second)));
    }
    backup.setValue("devices/known_devices", known);
    backup.setValue("devices/keep_old", _keepOld);
}

void tst_DownloadQueue::publish(const QList<Publisher::IndexEntry>& _entries)
{
    QList<UpdateIndex::Record> records;
    QCOMPARE(UpdateIndex::evaluate(Publisher::indexXml(_entries), records), UpdateIndex::eOutcomeOk);
    for (const UpdateIndex::Record& record : records)
        m_bridge->fileModel()->updateFirmwareFileData(record);
}

void tst_DownloadQueue::startQueue()
{
    m_bridge->setSysState(CProg2Gui::SysStateUpdateDownload);
    m_bridge->fileModel()->StartFileDownload();
    QTRY_COMPARE_WITH_TIMEOUT(m_bridge->SysState(), CProg2Gui::SysStateIdle, kWaitMs);
}

void tst_DownloadQueue::mixedOutcomes_data()
{
    QTest::addColumn<bool>("keepOld");
    QTest::newRow("replaced files deleted") << false;
    QTest::newRow("replaced files kept") << true;
}

void tst_DownloadQueue::mixedOutcomes()
{
    QFETCH(bool, keepOld);
    prepareBackup({{1, "1.0.0"}, {2, "1.9.0"}, {4, "1.2.0"}, {6, "3.0.0"}, {3, "0.1.0"}}, keepOld);
    m_bridge = std::make_unique<CProg2Gui>();
    FirmwareUpdateFileModel* model = m_bridge->fileModel();
    QSignalSpy versionChanged(model, &FirmwareUpdateFileModel::versionChanged);
    QSignalSpy stickText(m_bridge->stickInterface(), &StickInterface::textChanged);

    // Verified: control element, stick (index name with a folder), tool.
    QVERIFY(m_signer.writeFile(m_served->path(), "ce_1.1.0.ota", image(1, "1.1.0")));
    QVERIFY(m_signer.writeFile(m_served->path(), "stick_3.1.0.bin", image(6, "3.1.0")));
    QVERIFY(m_signer.writeFile(m_served->path(), "tool_1.3.0.zip", "tool package"));
    // Signature of other bytes: wall transmitter.
    QVERIFY(m_signer.writeFile(m_served->path(), "wall_2.0.0.ota", image(2, "2.0.0"), false));
    QVERIFY(writeFile(m_served->filePath("wall_2.0.0.sig"), m_signer.signature(image(2, "1.9.0"))));
    // Not on the server: intermediate plug. Type 3 is offered but not selected.
    QVERIFY(m_signer.writeFile(m_served->path(), "t3_0.2.0.ota", image(3, "0.2.0")));
    publish({{1, "control element", "1.1.0", "ce_1.1.0.ota", ""},
             {2, "wall transmitter", "2.0.0", "wall_2.0.0.ota", "win"},
             {3, "type three", "0.2.0", "t3_0.2.0.ota", ""},
             {4, "plug", "1.3.0", "plug_1.3.0.ota", ""},
             {6, "stick", "3.1.0", "fw/stick_3.1.0.bin", ""},
             {9999, "tool", "1.3.0", "tool_1.3.0.zip", ""}});
    const int row3 = rowOf(*model, 3);
    QVERIFY(row3 >= 0);
    model->setSelectable(row3, false);
    QCOMPARE(model->selectionState(), 1);

    startQueue();

    struct Expect
    {
        quint16 type;
        ProgressHelper::_eResult_t result;
        QString done;
        QString version;
        QString file;
    };
    const QList<Expect> expected{
        {1, ProgressHelper::eResultSuccess, "qrc:/pic/checkmark.png", "1.1.0", "ce_1.1.0.ota"},
        {2, ProgressHelper::eResultAuthFail, "qrc:/pic/error.png", "1.9.0", "held_2.ota"},
        {3, ProgressHelper::eResultUnknown, "", "0.1.0", "held_3.ota"},
        {4, ProgressHelper::eResultMissingFile, "qrc:/pic/error.png", "1.2.0", "held_4.ota"},
        {6, ProgressHelper::eResultSuccess, "qrc:/pic/checkmark.png", "3.1.0", "stick_3.1.0.bin"},
        {9999, ProgressHelper::eResultSuccess, "qrc:/pic/checkmark.png", "1.3.0", "tool_1.3.0.zip"},
    };
    for (const Expect& e : expected) {
        const FirmwareUpdate* fw = model->findByDevType(e.type);
        QVERIFY2(fw, qPrintable(QString::number(e.type)));
        const QVariantMap row = model->get(rowOf(*model, e.type));
        QCOMPARE(fw->m_result, e.result);
        QCOMPARE(row.value("done").toString(), e.done);
        QCOMPARE(fw->versionString(), e.version);
        QCOMPARE(fw->m_fileName, e.file);
        QVERIFY(!fw->m_selected); // processed rows are deselected; row 3 was never selected
        if (e.result == ProgressHelper::eResultSuccess)
            QVERIFY(!fw->hasUpdate());
        if (e.result == ProgressHelper::eResultMissingFile)
            QCOMPARE(fw->m_progress, 0);
        if (!fw->resultText().isEmpty())
            QVERIFY(row.value("version").toString().endsWith("<br/>" + fw->resultText()));
    }
    QCOMPARE(model->findByDevType(2)->resultText(), QString("Authentication failed"));

    // backup.ini holds exactly the verified files.
    QSettings backup(m_updatePath + "/backup.ini", QSettings::IniFormat);
    QStringList known = backup.value("devices/known_devices").toStringList();
    known.sort();
    QCOMPARE(known, (QStringList{"1", "2", "3", "4", "6", "9999"}));
    const QList<QPair<QString, QString>> recorded{{"1", "ce_1.1.0.ota"},    {"2", "held_2.ota"},
                                                  {"3", "held_3.ota"},      {"4", "held_4.ota"},
                                                  {"6", "stick_3.1.0.bin"}, {"9999", "tool_1.3.0.zip"}};
    for (const auto& group : recorded)
        QCOMPARE(backup.value(group.first + "/file").toString(), group.second);
    QCOMPARE(backup.value("1/ver").toString(), QString("1.1.0"));
    QCOMPARE(backup.value("1/duration").toInt(), 101); // a new file keeps the measured average
    QCOMPARE(backup.value("9999/id").toInt(), 9999);

    // The files: verified ones under their plain names, nothing unverified, no leftovers.
    QCOMPARE(readFile(m_updatePath + "/ce_1.1.0.ota"), image(1, "1.1.0"));
    QCOMPARE(readFile(m_updatePath + "/stick_3.1.0.bin"), image(6, "3.1.0"));
    QVERIFY(QFile::exists(m_updatePath + "/stick_3.1.0.sig"));
    QVERIFY(!QFile::exists(m_updatePath + "/wall_2.0.0.ota"));
    QVERIFY(!QFile::exists(m_updatePath + "/plug_1.3.0.ota"));
    QVERIFY(!QFile::exists(m_updatePath + "/t3_0.2.0.ota"));
    QCOMPARE(QDir(m_updatePath).entryList({"*.part"}, QDir::Files), QStringList());
    QVERIFY(!QDir(m_updatePath + "/fw").exists());
    // The replaced files go with their signatures unless keep_old.
    for (const QString name : {"held_1.ota", "held_1.sig", "held_6.ota", "held_6.sig"})
        QVERIFY2(QFile::exists(m_updatePath + "/" + name) == keepOld, qPrintable(name));
    QVERIFY(QFile::exists(m_updatePath + "/held_2.ota"));
    QVERIFY(QFile::exists(m_updatePath + "/held_2.sig"));

    // Announcements: the device list, the stick, the tool update.
    QList<int> changedTypes;
    for (const QList<QVariant>& args : versionChanged)
        changedTypes.append(args.at(0).toInt());
    std::sort(changedTypes.begin(), changedTypes.end());
    QCOMPARE(changedTypes, (QList<int>{1, 6, 9999}));
    QCOMPARE(m_bridge->stickInterface()->stickFirmware().m_update.version, parseVersion("3.1.0"));
    QVERIFY(!stickText.isEmpty());
    QCOMPARE(stickText.last().at(0).toInt(), 11);
    QVERIFY(m_bridge->applVersion().hasUpdate());
    QCOMPARE(m_bridge->applVersion().m_update.version, parseVersion("1.3.0"));
    QCOMPARE(m_bridge->applVersion().m_update.fileName, QString("tool_1.3.0.zip"));

    // Only plain names were asked for, and nothing for the deselected row.
    const QStringList requests = m_server->requests();
    QVERIFY(requests.contains("//stick_3.1.0.bin") || requests.contains("/stick_3.1.0.bin"));
    for (const QString& request : requests) {
        QVERIFY2(!request.contains("fw/"), qPrintable(request));
        QVERIFY2(!request.contains("t3_"), qPrintable(request));
    }
}

void tst_DownloadQueue::storedUnderThePlainName_data()
{
    QTest::addColumn<QString>("indexName");
    QTest::addColumn<QString>("served");    // name on the server (data)
    QTest::addColumn<QString>("servedSig"); // name on the server (signature)

    QTest::newRow("folder and several dots") << "fw/dev_1.2.3.bin"
                                             << "dev_1.2.3.bin"
                                             << "dev_1.2.3.sig";
    QTest::newRow("windows folders upwards") << "..\\..\\up\\ce.ota"
                                             << "ce.ota"
                                             << "ce.sig";
    QTest::newRow("unix folders upwards") << "../../../ce.ota"
                                          << "ce.ota"
                                          << "ce.sig";
}

void tst_DownloadQueue::storedUnderThePlainName()
{
    QFETCH(QString, indexName);
    QFETCH(QString, served);
    QFETCH(QString, servedSig);

    prepareBackup({{1, "1.0.0"}}, false);
    m_bridge = std::make_unique<CProg2Gui>();
    const QByteArray bytes = image(1, "1.4.0");
    QVERIFY(writeFile(m_served->filePath(served), bytes));
    QVERIFY(writeFile(m_served->filePath(servedSig), m_signer.signature(bytes)));
    publish({{1, "control element", "1.4.0", indexName, ""}});

    startQueue();

    const FirmwareUpdate* fw = m_bridge->fileModel()->findByDevType(1);
    QCOMPARE(fw->m_result, ProgressHelper::eResultSuccess);
    QCOMPARE(fw->m_fileName, served);
    QCOMPARE(readFile(m_updatePath + "/" + served), bytes);
    QSettings backup(m_updatePath + "/backup.ini", QSettings::IniFormat);
    QCOMPARE(backup.value("1/file").toString(), served);
    // Nothing was written beside the update folder.
    QVERIFY(!QFile::exists(QFileInfo(m_updatePath).absolutePath() + "/" + served));
    QVERIFY(!QFile::exists(m_settings->folder() + "/" + served));
}

void tst_DownloadQueue::emptyVerifiedFileFails()
{
    prepareBackup({{4, "1.0.0"}}, false);
    m_bridge = std::make_unique<CProg2Gui>();
    QVERIFY(m_signer.writeFile(m_served->path(), "empty.ota", QByteArray()));
    publish({{4, "plug", "1.1.0", "empty.ota", ""}});
    QSignalSpy versionChanged(m_bridge->fileModel(), &FirmwareUpdateFileModel::versionChanged);

    startQueue();

    const FirmwareUpdate* fw = m_bridge->fileModel()->findByDevType(4);
    QCOMPARE(fw->m_result, ProgressHelper::eResultFail);
    QCOMPARE(fw->versionString(), QString("1.0.0"));
    QVERIFY(fw->hasUpdate());
    QCOMPARE(versionChanged.count(), 0);
    QSettings backup(m_updatePath + "/backup.ini", QSettings::IniFormat);
    QCOMPARE(backup.value("4/file").toString(), QString("held_4.ota"));
    QVERIFY(QFile::exists(m_updatePath + "/held_4.ota"));
}

QTEST_GUILESS_MAIN(tst_DownloadQueue)
#include "tst_downloadqueue.moc"
