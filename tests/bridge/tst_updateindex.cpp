#include <QTcpServer>
#include <QtTest>

#include "Publisher.h"
#include "UpdateServer.h"
#include "bridge/CProg2Gui.h"
#include "common/DeviceType.h"
#include "common/settings.h"
#include "content/BackupIni.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateIndex.h"
#include "link/CSerialPortHandler.h"
#include "support/DevelopmentSigner.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"
#include "support/TestSettings.h"

namespace {
constexpr int kWaitMs = 15000;

Publisher::IndexEntry entry(quint16 _devType, const QString& _application, const QString& _version,
                            const QString& _fileName, const QString& _sys = QString())
{
    Publisher::IndexEntry result;
    result.devType = _devType;
    result.application = _application;
    result.version = _version;
    result.fileName = _fileName;
    result.sys = _sys;
    return result;
}
} // namespace

// The update index fetched at start from the update server on loopback, with
// content signed by the development key.
class tst_UpdateIndex : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void goodIndex();
    void outcomes_data();
    void outcomes();
    void slowServerFirstTimesOut();
    void toolPackageBecomesPendingToolUpdate();

private:
    // Builds the bridge and waits until the index download has an outcome.
    void startBridge();

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_appDir;
    std::unique_ptr<QTemporaryDir> m_served;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<CProg2Gui> m_bridge;
    DevelopmentSigner m_signer;
};

void tst_UpdateIndex::initTestCase()
{
    if (!DevelopmentSigner::embeddedKeyIsDevelopmentKey())
        QSKIP("this build embeds a release key; content signed with the development key cannot verify");
    QVERIFY(m_signer.isValid());
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
}

void tst_UpdateIndex::init()
{
    m_settings = std::make_unique<TestSettings>();
    m_appDir = std::make_unique<QTemporaryDir>();
    applDirPath = m_appDir->path(); // no translations, nothing shipped
    m_served = std::make_unique<QTemporaryDir>();
    m_server = std::make_unique<UpdateServer>(m_served->path());
    QVERIFY(m_server->listen());
    m_settings->settings()->setValue("update/UpdateUrl", m_server->baseUrl() + "/");
}

void tst_UpdateIndex::cleanup()
{
    m_bridge.reset();
    m_server.reset();
    m_served.reset();
    applDirPath.clear();
    m_appDir.reset();
    m_settings.reset();
}

void tst_UpdateIndex::startBridge()
{
    m_bridge = std::make_unique<CProg2Gui>();
    QCOMPARE(m_bridge->updateXmlState(), CProg2Gui::eUpdateXmlStateUnknown);
    QCOMPARE(m_bridge->getText(CProg2Gui::ServerErrorTxt_ValId), QString("Contacting server..."));
    QVERIFY(m_bridge->isUpdateXmlTimerActive());
    QVERIFY(
        QTest::qWaitFor([this] { return m_bridge->updateXmlState() != CProg2Gui::eUpdateXmlStateUnknown; }, kWaitMs));
}

void tst_UpdateIndex::goodIndex()
{
    Publisher publisher;
    QVERIFY(publisher.loadPrivateKey(DevelopmentSigner::privateKeyPath(), nullptr));
    QVERIFY(publisher.writeIndex(
        {entry(4, "plug", "1.0.0", "plug_1.0.0.bin"), entry(4, "plug", "1.1.0", "fw/plug_1.1.0.bin"),
         entry(2, "wall", "2.0.0", "wall_2.0.0.bin", "win"), entry(1, "control", "3.0.0", "control_3.0.0.bin", "linux"),
         entry(9999, "tool", "1.3.0", "tool_1.3.0.run"), entry(7, "new", "1.0.0", "a&b.bin")},
        m_served->path(), nullptr));

    LogCapture log;
    startBridge();
    CProg2Gui& bridge = *m_bridge;
    QCOMPARE(bridge.updateXmlState(), CProg2Gui::eUpdateXmlStateOk);
    QCOMPARE(bridge.updateXmlResult(), ProgressHelper::eResultSuccess);
    QVERIFY(!bridge.isUpdateXmlTimerActive());
    QCOMPARE(bridge.getText(CProg2Gui::ServerErrorTxt_ValId), QString("Update server contacted"));
    QVERIFY(log.contains("any device updates: yes"));
    QVERIFY(log.contains("cmd line arg: " + QCoreApplication::arguments().join(" + ")));
    QVERIFY(log.contains(QString("url '%1//update.xml', XmlDl.err").arg(m_server->baseUrl())));

    // Two offers for a type the tool holds nothing of: the newer one is offered.
    const FirmwareUpdateFileModel* model = bridge.fileModel();
    const FirmwareUpdate* plug = model->findByDevType(4);
    QVERIFY(plug);
    QCOMPARE(plug->versionString(), QString());
    QVERIFY(plug->hasUpdate());
    QCOMPARE(plug->updateVersionString(), QString("1.1.0"));
    QCOMPARE(plug->m_update.fileName, QString("fw/plug_1.1.0.bin"));
    QVERIFY(model->findByDevType(2));  // "win" is this platform's index entry
    QVERIFY(!model->findByDevType(1)); // another platform's entry is dropped
    // The record text is taken as serialised: entities stay escaped.
    QCOMPARE(model->findByDevType(7)->m_update.fileName, QString("a&amp;b.bin"));
    QCOMPARE(model->findByDevType(DeviceType::Tool)->updateVersionString(), QString("1.3.0"));
    QCOMPARE(bridge.iGetVal(CProg2Gui::FirmwareSelectState_ValId), 2);
    QVERIFY(bridge.isHighlightState(CProg2Gui::HighlightFileDownload));

    // The verified pair is kept in the temp folder.
    QCOMPARE(readFile(getTempPath() + "/update.xml"), readFile(m_served->path() + "/update.xml"));
    QCOMPARE(readFile(getTempPath() + "/update.sig"), readFile(m_served->path() + "/update.sig"));
}

void tst_UpdateIndex::outcomes_data()
{
    QTest::addColumn<QString>("served"); // "none", "refused", "tampered" or the index text
    // The highest serial accepted before the start, in the settings and
    // beside "backup.ini" ("backup.ini 5": there only); empty: none yet.
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<qulonglong>("serialAfter"); // in both places

    const int wrong = CProg2Gui::eUpdateXmlStateWrong;
    const int ok = CProg2Gui::eUpdateXmlStateOk;
    const int outdated = CProg2Gui::eUpdateXmlStateOutdated;
    const int success = ProgressHelper::eResultSuccess;
    const int fail = ProgressHelper::eResultFail;
    const QString contacted = "Update server contacted";
    const QString plugIndex = "<updates devid=\"4\"><update version=\"1.0.0\" fileName=\"plug.bin\"/></updates></apps>";
    QTest::newRow("not on the server") << "none"
                                       << "5" << wrong << fail << "Update information not available on server"
                                       << "" << 5ull;
    QTest::newRow("no server listening") << "refused"
                                         << "5" << wrong << fail << "Error during downloading update information"
                                         << "" << 5ull;
    QTest::newRow("wrong signature") << "tampered"
                                     << "5" << wrong << int(ProgressHelper::eResultAuthFail)
                                     << "Could not authentificate update information"
                                     << "" << 5ull;
    QTest::newRow("not XML") << "<apps><updates devid=\"4\""
                             << "" << wrong << fail << "Update information not valid on server"
                             << "can NOT evaluate query" << 0ull;
    QTest::newRow("empty apps") << "<apps/>"
                                << "" << ok << success << contacted << "any device updates: no" << 0ull;
    QTest::newRow("update without devid")
        << "<apps><updates application=\"plug\"><update version=\"1.0.0\" fileName=\"plug.bin\"/></updates></apps>"
        << "" << ok << success << contacted << "any device updates: no" << 0ull;
    QTest::newRow("another platform only")
        << "<apps><updates devid=\"4\"><update version=\"1.0.0\" fileName=\"plug.bin\" sys=\"mac\"/></updates></apps>"
        << "" << ok << success << contacted << "any device updates: no" << 0ull;
    // The index's serial against the highest one accepted before.
    QTest::newRow("serial below the one accepted")
        << "<apps serial=\"4\">" + plugIndex << "5" << outdated << fail << "Update information outdated"
        << "" << 5ull;
    QTest::newRow("no serial after one was accepted")
        << "<apps>" + plugIndex << "5" << outdated << fail << "Update information outdated"
        << "" << 5ull;
    QTest::newRow("settings lost, serial beside backup.ini")
        << "<apps serial=\"4\">" + plugIndex << "backup.ini 5" << outdated << fail << "Update information outdated"
        << "" << 5ull;
    QTest::newRow("serial accepted before") << "<apps serial=\"5\"/>"
                                            << "5" << ok << success << contacted << "" << 5ull;
    QTest::newRow("first serial") << "<apps serial=\"3\"/>"
                                  << "" << ok << success << contacted << "" << 3ull;
    QTest::newRow("higher serial") << "<apps serial=\"18446744073709551615\"/>"
                                   << "backup.ini 5" << ok << success << contacted << ""
                                   << qulonglong(18446744073709551615ull);
    QTest::newRow("serial that is no number")
        << "<apps serial=\"5a\">" + plugIndex << "5" << wrong << fail << "Update information not valid on server"
        << "" << 5ull;
    QTest::newRow("record with a malformed digest")
        << "<apps serial=\"5\"><updates devid=\"4\"><update version=\"1.0.0\" fileName=\"plug.bin\" size=\"12\" "
           "sha256=\"abc\"/></updates></apps>"
        << "5" << ok << success << contacted << "" << 5ull;
}

void tst_UpdateIndex::outcomes()
{
    QFETCH(QString, served);
    QFETCH(QString, before);
    QFETCH(int, state);
    QFETCH(int, result);
    QFETCH(QString, text);
    QFETCH(QString, logged);
    QFETCH(qulonglong, serialAfter);

    const QString backupPath = getUpdatePath() + "/backup.ini";
    if (!before.isEmpty()) {
        QVERIFY(QDir().mkpath(getUpdatePath()));
        QSettings backup(backupPath, QSettings::IniFormat);
        backup.setValue(BackupIni::kIndexSerialKey, before.section(' ', -1).toULongLong());
        if (!before.startsWith("backup.ini"))
            m_settings->settings()->setValue(UpdateIndex::kIndexSerialKey, before.toULongLong());
    }
    if (served == "refused") {
        // A port that was free a moment ago and has nobody listening now.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        m_settings->settings()->setValue("update/UpdateUrl", QString("http://127.0.0.1:%1/").arg(port));
    } else if (served == "tampered") {
        const QByteArray index = Publisher::indexXml({entry(4, "plug", "1.0.0", "plug.bin")});
        QVERIFY(m_signer.writeFile(m_served->path(), "update.xml", index));
        QVERIFY(QFile::remove(m_served->path() + "/update.xml"));
        QVERIFY(m_signer.writeFile(m_served->path(), "update.xml", QByteArray(index).replace("1.0.0", "9.0.0"), false));
    } else if (served != "none") {
        QVERIFY(m_signer.writeFile(m_served->path(), "update.xml", served.toUtf8()));
    }

    LogCapture log;
    startBridge();
    QCOMPARE(int(m_bridge->updateXmlState()), state);
    QCOMPARE(int(m_bridge->updateXmlResult()), result);
    QVERIFY(!m_bridge->isUpdateXmlTimerActive());
    QCOMPARE(m_bridge->getText(CProg2Gui::ServerErrorTxt_ValId), text);
    if (!logged.isEmpty())
        QVERIFY2(log.contains(logged), qPrintable(log.lines().join('\n')));
    // Nothing but the tool's own row.
    QCOMPARE(m_bridge->fileModel()->rowCount(), 1);
    QCOMPARE(m_settings->settings()->value(UpdateIndex::kIndexSerialKey).toULongLong(), serialAfter);
    QCOMPARE(QSettings(backupPath, QSettings::IniFormat).value(BackupIni::kIndexSerialKey).toULongLong(), serialAfter);
}

void tst_UpdateIndex::slowServerFirstTimesOut()
{
    Publisher publisher;
    QVERIFY(publisher.loadPrivateKey(DevelopmentSigner::privateKeyPath(), nullptr));
    QVERIFY(publisher.writeIndex({entry(4, "plug", "1.0.0", "plug.bin")}, m_served->path(), nullptr));
    m_server->setDelay(CProg2Gui::kUpdateXmlTimeoutMs + 1500, "update.xml");

    m_bridge = std::make_unique<CProg2Gui>();
    QSignalSpy firmware(m_bridge.get(), &CProg2Gui::firmwareDataRepaint);
    QTRY_COMPARE_WITH_TIMEOUT(m_bridge->updateXmlState(), CProg2Gui::eUpdateXmlStateTimeout, kWaitMs);
    QCOMPARE(m_bridge->getText(CProg2Gui::ServerErrorTxt_ValId), QString("Server does not respond"));
    QCOMPARE(firmware.count(), 1);
    // The download was not given up: the late index still counts.
    QTRY_COMPARE_WITH_TIMEOUT(m_bridge->updateXmlState(), CProg2Gui::eUpdateXmlStateOk, kWaitMs);
    QCOMPARE(m_bridge->getText(CProg2Gui::ServerErrorTxt_ValId), QString("Update server contacted"));
    QVERIFY(m_bridge->fileModel()->findByDevType(4));
}

void tst_UpdateIndex::toolPackageBecomesPendingToolUpdate()
{
    const QByteArray package = "#!/bin/sh\necho installing\n" + QByteArray(2000, '#') + "\n";
    QVERIFY(m_signer.writeFile(m_served->path(), "tool_1.3.0.run", package));
    Publisher publisher;
    QVERIFY(publisher.loadPrivateKey(DevelopmentSigner::privateKeyPath(), nullptr));
    QList<Publisher::IndexEntry> entries{entry(9999, "tool", "1.3.0", "tool_1.3.0.run")};
    QVERIFY(Publisher::bindFiles(&entries, m_served->path(), nullptr));
    QVERIFY(publisher.writeIndex(entries, m_served->path(), nullptr, 3));

    startBridge();
    CProg2Gui& bridge = *m_bridge;
    QCOMPARE(bridge.updateXmlState(), CProg2Gui::eUpdateXmlStateOk);
    // Offered, not yet held: the download comes first.
    QVERIFY(!bridge.applVersion().hasUpdate());
    QVERIFY(!bridge.boGetVal(CProg2Gui::ApplUpdateButton_ValId));
    QVERIFY(bridge.boGetVal(CProg2Gui::FileUpdateButton_ValId));
    QVERIFY(bridge.isHighlightState(CProg2Gui::HighlightFileDownload));

    bridge.qmlAction(CProg2Gui::StartFileDownload_QmlAction);
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateUpdateDownload);
    QVERIFY(!bridge.boGetVal(CProg2Gui::ApplUpdateButton_ValId));
    QTRY_COMPARE_WITH_TIMEOUT(bridge.SysState(), CProg2Gui::SysStateIdle, kWaitMs);

    QCOMPARE(readFile(getUpdatePath() + "/tool_1.3.0.run"), package);
    // What was verified is on record, for the check before the package runs.
    QSettings backup(getUpdatePath() + "/backup.ini", QSettings::IniFormat);
    QCOMPARE(backup.value("9999/size").toLongLong(), qint64(package.size()));
    QCOMPARE(backup.value("9999/sha256").toByteArray(),
             QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex());
    QVERIFY(bridge.applVersion().hasUpdate());
    QCOMPARE(bridge.applVersion().updateVersionString(), QString("1.3.0"));
    QCOMPARE(bridge.applVersion().m_update.fileName, QString("tool_1.3.0.run"));
    QVERIFY(bridge.boGetVal(CProg2Gui::ApplUpdateButton_ValId));
    QVERIFY(bridge.isHighlightState(CProg2Gui::HighlightApplication));
    QVERIFY(bridge.getText(CProg2Gui::ApplVersion_ValId).contains("V1.3.0"));
}

QTEST_GUILESS_MAIN(tst_UpdateIndex)
#include "tst_updateindex.moc"
