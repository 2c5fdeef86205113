#include <QtTest>

#include "EndToEndRig.h"
#include "Publisher.h"
#include "StickSimulator.h"
#include "UpdateServer.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "support/E2eTimings.h"
#include "support/TestFiles.h"

using namespace E2eTimings;

namespace {
// Stands in for the tool's 30 s in the run where the server never answers.
constexpr int kShortStallLimitMs = 2000;
// Never answered within the test.
constexpr int kNoAnswerMs = 10 * 60 * 1000;
// Stand in for the tool's 4 KiB/s over a minute: the dripping server's
// byte a second falls under it within seconds.
constexpr int kShortRateFloor = 100;
constexpr int kShortRateWindowMs = 2000;
// A byte every 20 ms: the cancelled file is well under way and far from done.
constexpr int kFastDripMs = 20;
// Time for anything of a cancelled run that might still arrive.
constexpr int kSettleMs = 500;
constexpr quint16 kFaultyType = 2;

// Every file of _dir with its bytes.
QMap<QString, QByteArray> folderBytes(const QString& _dir)
{
    QMap<QString, QByteArray> bytes;
    for (const QString& name : QDir(_dir).entryList(QDir::Files))
        bytes.insert(name, readFile(_dir + "/" + name));
    return bytes;
}

bool appendTo(const QString& _path, const QByteArray& _bytes)
{
    QFile file(_path);
    return file.open(QIODevice::Append) && file.write(_bytes) == _bytes.size();
}

enum Injection_t
{
    InjectFault,        // an UpdateServer fault on the path
    InjectDelay,        // the path is answered after delayMs
    InjectTamperedData, // the data on the server no longer matches its signature
    InjectSubstitute,   // other bytes, signed, under the name the index gives
    InjectNoDigest,     // an index without sizes and digests, and other signed bytes under the name
    InjectOffer,        // the publisher offers other bytes: file and index agree
};

// Version 1.0.7 of the faulty type, as the server offers it, with _label
// in the header string and the same size.
QByteArray faultyImage(const QByteArray& _label = QByteArray("Lumoran test image"))
{
    return Publisher::otaImage(kFaultyType, parseVersion("1.0.7"), 2200, _label);
}
} // namespace

Q_DECLARE_METATYPE(Injection_t)
Q_DECLARE_METATYPE(ProgressHelper::_eResult_t)

// The update server misbehaves while the tool fetches its index or a
// firmware file: the tool shows the right server text or row result, stays
// usable, keeps only verified files, and a device never receives anything
// but a signed image.
class tst_ServerFaults : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void indexFault_data();
    void indexFault();
    void firmwareFault_data();
    void firmwareFault();
    void olderIndexIsRefused();
    void cancelledDownload();

private:
    void offerAndHold();
    std::unique_ptr<EndToEndRig> m_rig;
};

void tst_ServerFaults::init()
{
    START_END_TO_END_RIG(m_rig);
}

void tst_ServerFaults::cleanup()
{
    m_rig.reset();
}

void tst_ServerFaults::offerAndHold()
{
    EndToEndRig& rig = *m_rig;
    for (quint16 type : {1, 2, 4})
        QVERIFY2(rig.hold({type, "1.0.0", 2500}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{1, "1.1.0", 3000}, {2, "1.0.7", 2200}, {4, "2.0.0", 4500}}), qPrintable(rig.error()));
    // Older than what the tool holds: every device takes an image, held or new.
    const QJsonArray devices{EndToEndRig::device(0x1a2b, 1, "0.9.0"), EndToEndRig::device(0x3e4f, 2, "0.9.0"),
                             EndToEndRig::device(0x4a5b, 4, "0.9.0")};
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario(devices)), qPrintable(rig.error()));
}

void tst_ServerFaults::indexFault_data()
{
    QTest::addColumn<Injection_t>("injection");
    QTest::addColumn<UpdateServer::Fault_t>("fault");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QString>("firstText"); // shown once the tool has given up or judged
    QTest::addColumn<QString>("finalText"); // shown in the end

    const QString noResponse = "Server does not respond";
    const QString notAvailable = "Update information not available on server";
    const QString downloadError = "Error during downloading update information";
    QTest::newRow("no answer") << InjectDelay << UpdateServer::FaultNone << "update.xml" << kNoAnswerMs << noResponse
                               << noResponse;
    // The tool gives up waiting after 5 s; the late index is still taken.
    QTest::newRow("answer after 6 s") << InjectDelay << UpdateServer::FaultNone << "update.xml" << 6000 << noResponse
                                      << "Update server contacted";
    QTest::newRow("404") << InjectFault << UpdateServer::FaultNotFound404 << "update.xml" << 0 << notAvailable
                         << notAvailable;
    QTest::newRow("not-found page with status 200")
        << InjectFault << UpdateServer::FaultNotFoundPage << "update.xml" << 0 << notAvailable << notAvailable;
    QTest::newRow("signature dropped midway")
        << InjectFault << UpdateServer::FaultDropMidway << "update.sig" << 0 << downloadError << downloadError;
    QTest::newRow("wrong signature") << InjectTamperedData << UpdateServer::FaultNone << "update.xml" << 0
                                     << "Could not authentificate update information"
                                     << "Could not authentificate update information";
    QTest::newRow("endless body") << InjectFault << UpdateServer::FaultEndlessBody << "update.xml" << 0 << downloadError
                                  << downloadError;
}

void tst_ServerFaults::indexFault()
{
    QFETCH(Injection_t, injection);
    QFETCH(UpdateServer::Fault_t, fault);
    QFETCH(QString, path);
    QFETCH(int, delayMs);
    QFETCH(QString, firstText);
    QFETCH(QString, finalText);

    EndToEndRig& rig = *m_rig;
    offerAndHold();
    if (injection == InjectFault)
        rig.server()->setFault(fault, path);
    else if (injection == InjectDelay)
        rig.server()->setDelay(delayMs, path);
    else
        QVERIFY(appendTo(rig.servedPath() + "/" + path, "\n<!-- tampered -->\n"));
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();

    const QString contacting = "Contacting server...";
    QTRY_VERIFY_WITH_TIMEOUT(bridge->getText(CProg2Gui::ServerErrorTxt_ValId) != contacting,
                             CProg2Gui::kUpdateXmlTimeoutMs + kConnectMs);
    QCOMPARE(bridge->getText(CProg2Gui::ServerErrorTxt_ValId), firstText);
    if (finalText != firstText)
        QTRY_COMPARE_WITH_TIMEOUT(bridge->getText(CProg2Gui::ServerErrorTxt_ValId), finalText, kConnectMs);

    // The tool stays usable: with the stick joined, the held firmware goes
    // to the devices, or the offered one once the index came in late.
    QTRY_VERIFY_WITH_TIMEOUT(rig.isStickJoined(), kConnectMs);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QString why;
    QVERIFY2(rig.updateFolderHoldsOnlyVerified(&why), qPrintable(why));
    QTRY_COMPARE_WITH_TIMEOUT(bridge->deviceModel()->rowCount(), 3, kConnectMs);
    bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateDeviceUpdate);
    bridge->qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    int images = 0;
    QVERIFY2(rig.everyImageSigned(&images, &why), qPrintable(why));
}

void tst_ServerFaults::firmwareFault_data()
{
    QTest::addColumn<Injection_t>("injection");
    QTest::addColumn<UpdateServer::Fault_t>("fault");
    QTest::addColumn<QString>("suffix"); // of the faulty type's file on the server
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QByteArray>("bytes"); // what InjectSubstitute, InjectNoDigest and InjectOffer serve
    QTest::addColumn<ProgressHelper::_eResult_t>("result");

    const auto none = UpdateServer::FaultNone;
    QTest::newRow("no answer") << InjectDelay << none << ".ota" << kNoAnswerMs << QByteArray()
                               << ProgressHelper::eResultFail;
    QTest::newRow("answer after 6 s") << InjectDelay << none << ".ota" << 6000 << QByteArray()
                                      << ProgressHelper::eResultSuccess;
    QTest::newRow("404") << InjectFault << UpdateServer::FaultNotFound404 << ".ota" << 0 << QByteArray()
                         << ProgressHelper::eResultMissingFile;
    QTest::newRow("not-found page with status 200") << InjectFault << UpdateServer::FaultNotFoundPage << ".sig" << 0
                                                    << QByteArray() << ProgressHelper::eResultMissingFile;
    QTest::newRow("dropped midway") << InjectFault << UpdateServer::FaultDropMidway << ".ota" << 0 << QByteArray()
                                    << ProgressHelper::eResultFail;
    // A tampered image under the name the index announces.
    QTest::newRow("wrong signature") << InjectTamperedData << none << ".ota" << 0 << QByteArray()
                                     << ProgressHelper::eResultAuthFail;
    QTest::newRow("endless body") << InjectFault << UpdateServer::FaultEndlessBody << ".ota" << 0 << QByteArray()
                                  << ProgressHelper::eResultFail;
    // One byte a second: each byte restarts the stall limit, the rate floor ends it.
    QTest::newRow("dripping") << InjectFault << UpdateServer::FaultDrip << ".ota" << 0 << QByteArray()
                              << ProgressHelper::eResultFail;

    // Signed with the update key, but not what the index offers under that
    // name: the index's size and digest refuse it, the header too where it
    // tells another type or version.
    const QByteArray older = Publisher::otaImage(kFaultyType, parseVersion("1.0.0"), 2200);
    QTest::newRow("substitute: an older image of its type")
        << InjectSubstitute << none << ".ota" << 0 << older << ProgressHelper::eResultAuthFail;
    QTest::newRow("substitute: another type's image")
        << InjectSubstitute << none << ".ota" << 0 << Publisher::otaImage(4, parseVersion("1.0.7"), 2200)
        << ProgressHelper::eResultAuthFail;
    QTest::newRow("substitute: its own header over other bytes")
        << InjectSubstitute << none << ".ota" << 0 << faultyImage("Lumoran other build")
        << ProgressHelper::eResultAuthFail;
    QTest::newRow("substitute: an old tool package")
        << InjectSubstitute << none << ".ota" << 0 << QByteArray("#!/bin/sh\necho tool 1.1.0\n").repeated(100)
        << ProgressHelper::eResultAuthFail;

    // An index from before sizes and digests: the signature and the OTA
    // header decide.
    QTest::newRow("index without digest: header of another version")
        << InjectNoDigest << none << ".ota" << 0 << older << ProgressHelper::eResultAuthFail;
    QTest::newRow("index without digest: header of another manufacturer")
        << InjectNoDigest << none << ".ota" << 0
        << QByteArray(faultyImage()).replace(10, 2, QByteArray::fromHex("3412")) << ProgressHelper::eResultAuthFail;
    QTest::newRow("index without digest: header cut off")
        << InjectNoDigest << none << ".ota" << 0 << faultyImage().left(40) << ProgressHelper::eResultAuthFail;
    QTest::newRow("index without digest: its own image")
        << InjectNoDigest << none << ".ota" << 0 << faultyImage() << ProgressHelper::eResultSuccess;

    // The search texts of the "file not found" page judge only a download
    // that fails its signature; a signed file may hold them.
    QTest::newRow("signed image holding \"404 Not Found\"")
        << InjectOffer << none << ".ota" << 0 << faultyImage("404 Not Found") << ProgressHelper::eResultSuccess;
    const QByteArray pageTexts("www.vandrel.example <!doctype html> Vandrel Online-Katalog");
    QTest::newRow("signed image holding the page's texts in its size window")
        << InjectOffer << none << ".ota" << 0 << QByteArray(faultyImage()).replace(100, pageTexts.size(), pageTexts)
        << ProgressHelper::eResultSuccess;
    QTest::newRow("not-found page with status 200 as the image")
        << InjectFault << UpdateServer::FaultNotFoundPage << ".ota" << 0 << QByteArray()
        << ProgressHelper::eResultMissingFile;
}

void tst_ServerFaults::firmwareFault()
{
    QFETCH(Injection_t, injection);
    QFETCH(UpdateServer::Fault_t, fault);
    QFETCH(QString, suffix);
    QFETCH(int, delayMs);
    QFETCH(QByteArray, bytes);
    QFETCH(ProgressHelper::_eResult_t, result);

    EndToEndRig& rig = *m_rig;
    offerAndHold();
    const QString path = QString("type%1_1.0.7").arg(kFaultyType) + suffix;
    const QByteArray genuine = rig.servedImage(kFaultyType);
    QByteArray tampered; // bytes no device may receive
    if (injection == InjectFault) {
        rig.server()->setFault(fault, path);
    } else if (injection == InjectDelay) {
        rig.server()->setDelay(delayMs, path);
    } else if (injection == InjectTamperedData) {
        tampered = genuine;
        tampered[tampered.size() - 1] = char(tampered.at(tampered.size() - 1) ^ 0x5a);
        QVERIFY2(rig.publish(path, tampered, false), qPrintable(rig.error()));
    } else if (injection == InjectOffer) {
        QVERIFY2(rig.offerBytes(kFaultyType, bytes), qPrintable(rig.error()));
    } else {
        if (injection == InjectNoDigest)
            QVERIFY2(rig.republishIndex(false, 1), qPrintable(rig.error()));
        QVERIFY2(rig.publish(path, bytes), qPrintable(rig.error()));
        if (result != ProgressHelper::eResultSuccess)
            tampered = bytes;
    }
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    FirmwareUpdateFileModel* files = bridge->fileModel();
    if (delayMs == kNoAnswerMs)
        files->setDownloadStallLimit(kShortStallLimitMs);
    if (fault == UpdateServer::FaultDrip)
        files->setDownloadRateFloor(kShortRateFloor, kShortRateWindowMs);
    QTRY_VERIFY_WITH_TIMEOUT(rig.isStickJoined(), kConnectMs);
    QTRY_VERIFY_WITH_TIMEOUT(rig.isIndexVerified(), kConnectMs);

    rig.startDownload();
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kDownloadMs);
    QCOMPARE(bridge->getText(CProg2Gui::ServerErrorTxt_ValId), QString("Update server contacted"));
    for (quint16 type : {1, 2, 4}) {
        const FirmwareUpdate* record = files->findByDevType(type);
        QVERIFY(record);
        QCOMPARE(record->m_result, type == kFaultyType ? result : ProgressHelper::eResultSuccess);
        QCOMPARE(record->m_version, type == kFaultyType && result != ProgressHelper::eResultSuccess
                                        ? parseVersion("1.0.0")
                                        : rig.offeredVersion(type));
    }
    QString why;
    QVERIFY2(rig.updateFolderHoldsOnlyVerified(&why), qPrintable(why));
    QSettings backup(rig.updatePath() + "/backup.ini", QSettings::IniFormat);
    const QString fileOnRecord = backup.value(QString("%1/file").arg(kFaultyType)).toString();
    QVERIFY(QFile::exists(rig.updatePath() + "/" + fileOnRecord));
    if (result != ProgressHelper::eResultSuccess)
        QCOMPARE(fileOnRecord, QString("held_%1.ota").arg(kFaultyType));
    else
        QCOMPARE(readFile(rig.updatePath() + "/" + fileOnRecord), readFile(rig.servedPath() + "/" + path));

    // Every device gets what the tool holds; a tampered image never leaves it.
    ZigBeeDeviceModel* model = bridge->deviceModel();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 3, kConnectMs);
    bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    auto allSucceeded = [&] {
        for (quint16 address : {0x1a2b, 0x3e4f, 0x4a5b}) {
            const ZigBeeDevice* device = model->findDevice(address);
            if (!device || device->m_result != ProgressHelper::eResultSuccess)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allSucceeded(), kRunMs);
    int images = 0;
    QVERIFY2(rig.everyImageSigned(&images, &why), qPrintable(why));
    QVERIFY(images >= 3);
    if (!tampered.isEmpty())
        QVERIFY(!rig.simulator()->device(0x3e4f)->images().contains(tampered));
    bridge->qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);

    // Once the server behaves, the same button fetches the file.
    rig.server()->clearFaults();
    if (injection == InjectTamperedData || injection == InjectSubstitute || injection == InjectNoDigest)
        QVERIFY2(rig.publish(path, genuine), qPrintable(rig.error()));
    rig.startDownload();
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kDownloadMs);
    QVERIFY(rig.holdsOffered());
    QVERIFY2(rig.updateFolderHoldsOnlyVerified(&why), qPrintable(why));
}

void tst_ServerFaults::olderIndexIsRefused()
{
    EndToEndRig& rig = *m_rig;
    offerAndHold();
    QVERIFY2(rig.republishIndex(true, 7), qPrintable(rig.error()));
    rig.startTool();
    QTRY_VERIFY_WITH_TIMEOUT(rig.isIndexVerified(), kConnectMs);
    QCOMPARE(getSettings()->value("update/IndexSerial").toULongLong(), 7ull);
    rig.stopTool();

    // An index signed before, served again: it offers an image the newer
    // index no longer does.
    QList<Publisher::IndexEntry> older{{kFaultyType, "wall", "1.0.5", "type2_1.0.5.ota"}};
    QVERIFY2(rig.publish("type2_1.0.5.ota", Publisher::otaImage(kFaultyType, parseVersion("1.0.5"), 2200)),
             qPrintable(rig.error()));
    QString error;
    QVERIFY2(Publisher::bindFiles(&older, rig.servedPath(), &error), qPrintable(error));
    QVERIFY2(rig.writeIndex(older, 6), qPrintable(rig.error()));
    const QByteArray backup = readFile(rig.updatePath() + "/backup.ini");

    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    QTRY_COMPARE_WITH_TIMEOUT(bridge->updateXmlState(), CProg2Gui::eUpdateXmlStateOutdated, kConnectMs);
    QCOMPARE(bridge->getText(CProg2Gui::ServerErrorTxt_ValId), QString("Update information outdated"));
    QCOMPARE(getSettings()->value("update/IndexSerial").toULongLong(), 7ull);
    // No record of it is taken: nothing to download, the held files stay.
    for (quint16 type : {1, 2, 4}) {
        const FirmwareUpdate* record = bridge->fileModel()->findByDevType(type);
        QVERIFY(record);
        QVERIFY(!record->hasUpdate());
        QCOMPARE(record->m_version, parseVersion("1.0.0"));
    }
    QVERIFY(!bridge->boGetVal(CProg2Gui::FileUpdateButton_ValId));
    QCOMPARE(readFile(rig.updatePath() + "/backup.ini"), backup);

    // The devices get what the tool holds.
    QTRY_VERIFY_WITH_TIMEOUT(rig.isStickJoined(), kConnectMs);
    QTRY_COMPARE_WITH_TIMEOUT(bridge->deviceModel()->rowCount(), 3, kConnectMs);
    bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    const QJsonArray devices{EndToEndRig::device(0x1a2b, 1, "0.9.0"), EndToEndRig::device(0x3e4f, 2, "0.9.0"),
                             EndToEndRig::device(0x4a5b, 4, "0.9.0")};
    QTRY_VERIFY_WITH_TIMEOUT(rig.allDevicesSucceeded(devices), kRunMs);
    QCOMPARE(rig.simulator()->device(0x3e4f)->version(), parseVersion("1.0.0"));
    int images = 0;
    QString why;
    QVERIFY2(rig.everyImageSigned(&images, &why), qPrintable(why));
    QVERIFY(images >= 3);
    bridge->qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
}

// The user cancels the download while the first file trickles in, its
// signature already asked for: nothing of the run stays, the files held and
// "backup.ini" keep their bytes, the rows show nothing downloaded, and the
// same button fetches them later.
void tst_ServerFaults::cancelledDownload()
{
    EndToEndRig& rig = *m_rig;
    offerAndHold();
    const quint16 first = 1; // the first row of the queue
    const QString name = QString("type%1_1.1.0").arg(first);
    rig.server()->setFault(UpdateServer::FaultDrip, name + ".ota");
    rig.server()->setDripInterval(kFastDripMs);
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    FirmwareUpdateFileModel* files = bridge->fileModel();
    QTRY_VERIFY_WITH_TIMEOUT(rig.isIndexVerified(), kConnectMs);
    const QMap<QString, QByteArray> before = folderBytes(rig.updatePath());
    QVERIFY(before.contains("backup.ini"));

    rig.startDownload();
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateUpdateDownload);
    QVERIFY(bridge->boGetVal(CProg2Gui::DeviceAbortButton_ValId));
    auto sigAskedFor = [&] { return !rig.server()->requests().filter("/" + name + ".sig").isEmpty(); };
    QTRY_VERIFY_WITH_TIMEOUT(sigAskedFor(), kConnectMs);
    QTRY_VERIFY_WITH_TIMEOUT(files->findByDevType(first)->m_progress > 0, kConnectMs);
    const QStringList requests = rig.server()->requests();
    bridge->qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QVERIFY(!bridge->boGetVal(CProg2Gui::DeviceAbortButton_ValId));

    // Nothing of the run comes back: no further request, no state change.
    QTest::qWait(kSettleMs);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QCOMPARE(rig.server()->requests(), requests);
    QCOMPARE(folderBytes(rig.updatePath()), before);
    for (quint16 type : {1, 2, 4}) {
        const FirmwareUpdate* record = files->findByDevType(type);
        QVERIFY(record);
        QVERIFY(record->hasUpdate());
        QCOMPARE(record->m_version, parseVersion("1.0.0"));
        QCOMPARE(record->m_fileName, QString("held_%1.ota").arg(type));
        QCOMPARE(record->m_result, ProgressHelper::eResultUnknown);
        QCOMPARE(record->m_progress, -1);
        QVERIFY(record->m_selected);
    }
    QVERIFY(bridge->boGetVal(CProg2Gui::FileUpdateButton_ValId));

    rig.server()->clearFaults();
    rig.startDownload();
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kDownloadMs);
    QVERIFY(rig.holdsOffered());
    QString why;
    QVERIFY2(rig.updateFolderHoldsOnlyVerified(&why), qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_ServerFaults)
#include "tst_serverfaults.moc"
