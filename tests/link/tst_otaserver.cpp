#include "tst_otaserver.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QtTest>

#include "Publisher.h"
#include "common/FirmwareCatalog.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "support/StickFrames.h"
#include "support/StickHarness.h"
#include "support/TestFiles.h"

using namespace StickFrames;

namespace {
const quint32 kOld = 0x010200;
const quint32 kNew = 0x010203;
const quint32 kNewer = 0x020000;
} // namespace

void tst_OtaServer::prepare(StickHarness& _harness, int _size)
{
    _harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    _harness.files->addFirmwareFile(2, "2.0.0", "wall.ota", 0);
    if (_size >= 0)
        _harness.writeImage("ctl.ota", _size);
    _harness.writeImage("wall.ota", 500);
    _harness.connectStick();
}

void tst_OtaServer::queryDecisions_data()
{
    using D = RunPolicy::QueryDecision;
    QTest::addColumn<QString>("facts");
    QTest::addColumn<int>("check");
    QTest::addColumn<int>("step");
    // facts: run, in list, list busy, wall transmitter, another awake, type differs, check pending,
    // transfer complete, reports the file's version (or a newer one), failures so far
    QTest::newRow("outside a run") << "- - - - - - - - - 0" << int(D::eCheckNone) << int(D::eStepNone);
    QTest::newRow("first of a run") << "run - - - - - - - - 0" << int(D::eCheckNone) << int(D::eStepStart);
    QTest::newRow("another is updating") << "run - busy - - - - - - 0" << int(D::eCheckNone) << int(D::eStepNone);
    QTest::newRow("a wall transmitter waits") << "run - - - awake - - - - 0" << int(D::eCheckNone) << int(D::eStepNone);
    QTest::newRow("wall transmitter first")
        << "run - - wall awake - - - - 0" << int(D::eCheckNone) << int(D::eStepStart);
    // Each request naming another image type is a failed attempt, up to the third.
    QTest::newRow("asks for another type")
        << "run - - - - type - - - 0" << int(D::eCheckNone) << int(D::eStepWrongType);
    QTest::newRow("a wall transmitter asks for another type")
        << "run list - wall - type - - - 2" << int(D::eCheckNone) << int(D::eStepWrongType);
    QTest::newRow("another type after three failures")
        << "run - - - - type - - - 3" << int(D::eCheckNone) << int(D::eStepNone);
    QTest::newRow("another type outside a run") << "- - - - - type - - - 0" << int(D::eCheckNone) << int(D::eStepNone);
    // Only what is newer than the version in the request is offered.
    QTest::newRow("reports a newer version") << "run - - - - - - - newer 0" << int(D::eCheckNone) << int(D::eStepNone);
    QTest::newRow("reports the file's version")
        << "run - - - - - - - file 0" << int(D::eCheckNone) << int(D::eStepNone);
    QTest::newRow("in transfer, reports the file's version")
        << "run list - - - - - - file 1" << int(D::eCheckNone) << int(D::eStepLeave);
    QTest::newRow("three failures") << "run - - - - - - - - 3" << int(D::eCheckNone) << int(D::eStepNone);
    QTest::newRow("restart in transfer") << "run list - - - - - - - 1" << int(D::eCheckNone) << int(D::eStepRestart);
    QTest::newRow("third restart") << "run list - - - - - - - 2" << int(D::eCheckNone) << int(D::eStepGiveUp);
    QTest::newRow("runs the image") << "run - - - - - check complete file 0" << int(D::eCheckSuccess)
                                    << int(D::eStepNone);
    QTest::newRow("old image, again") << "run - - - - - check complete - 0" << int(D::eCheckFailure)
                                      << int(D::eStepStart);
    QTest::newRow("old image, third time")
        << "run - - - - - check complete - 2" << int(D::eCheckFailure) << int(D::eStepNone);
    QTest::newRow("new version, transfer incomplete")
        << "run - - - - - check - file 0" << int(D::eCheckFailure) << int(D::eStepNone);
}

void tst_OtaServer::queryDecisions()
{
    QFETCH(QString, facts);
    QFETCH(int, check);
    QFETCH(int, step);
    const QStringList f = facts.split(' ');
    RunPolicy::DeviceQuery query;
    query.inRun = f.at(0) != "-";
    query.inUpdateList = f.at(1) != "-";
    query.updateListEmpty = !query.inUpdateList && f.at(2) == "-";
    query.wallTransmitter = f.at(3) != "-";
    query.wallTransmitterAwake = [&f] { return f.at(4) != "-"; };
    query.typeMatches = f.at(5) == "-";
    query.checkPending = f.at(6) != "-";
    query.progress = f.at(7) != "-" ? 1000 : 400;
    query.fileVersion = kNew;
    query.reportedVersion = f.at(8) == "newer" ? kNewer : f.at(8) == "file" ? kNew : kOld;
    query.failCounter = f.at(9).toInt();
    const RunPolicy::QueryDecision decision = RunPolicy::decideQuery(query);
    QCOMPARE(int(decision.check), check);
    QCOMPARE(int(decision.step), step);
}

void tst_OtaServer::blockDecisions_data()
{
    // facts: manufacturer (ours/other), record, image (device/stick), state
    // (idle/devices/stick), from the stick's address, device known, in the
    // update list, offer (none/same/older)
    QTest::addColumn<QString>("facts");
    QTest::addColumn<int>("verdict");
    using P = RunPolicy;
    QTest::newRow("served") << "ours record device devices - known list same" << int(P::eBlockServe);
    QTest::newRow("other maker") << "other record device devices - known list same"
                                 << int(P::eBlockForeignManufacturer);
    QTest::newRow("no file of the type") << "ours - device devices - known list same" << int(P::eBlockUnknownType);
    QTest::newRow("device outside a run")
        << "ours record device idle - known list same" << int(P::eBlockDeviceWrongState);
    QTest::newRow("device during a stick update")
        << "ours record device stick - known list same" << int(P::eBlockDeviceWrongState);
    QTest::newRow("unknown device") << "ours record device devices - - list same" << int(P::eBlockUnknownDevice);
    QTest::newRow("not in the update list") << "ours record device devices - known - same" << int(P::eBlockNotInList);
    QTest::newRow("nothing offered") << "ours record device devices - known list none" << int(P::eBlockNotOffered);
    QTest::newRow("another version than offered")
        << "ours record device devices - known list older" << int(P::eBlockNotOffered);
    QTest::newRow("stick served") << "ours record stick stick stick - - same" << int(P::eBlockServe);
    QTest::newRow("stick outside its update")
        << "ours record stick devices stick - - same" << int(P::eBlockStickWrongState);
    QTest::newRow("stick image to another address")
        << "ours record stick stick - known list same" << int(P::eBlockNotTheStick);
}

void tst_OtaServer::blockDecisions()
{
    QFETCH(QString, facts);
    QFETCH(int, verdict);
    const QStringList f = facts.split(' ');
    const quint16 type = f.at(2) == "stick" ? 6 : 1;
    RunPolicy::Offer offer;
    offer.manufacturerCode = 0x1C3D;
    offer.imageType = type;
    offer.fileVersion = f.at(7) == "older" ? kOld : kNew;
    RunPolicy::BlockRequest request;
    request.manufacturerCode = f.at(0) == "ours" ? 0x1C3D : 0x1234;
    request.imageType = type;
    request.fileVersion = kNew;
    request.hasRecord = f.at(1) != "-";
    request.state = f.at(3) == "devices" ? SystemServices::SysStateDeviceUpdate
                    : f.at(3) == "stick" ? SystemServices::SysStateStickUpdate
                                         : SystemServices::SysStateIdle;
    request.fromStick = f.at(4) != "-";
    request.deviceKnown = f.at(5) != "-";
    request.inUpdateList = f.at(6) != "-";
    request.offer = f.at(7) == "none" ? nullptr : &offer;
    QCOMPARE(int(RunPolicy::decideBlock(request)), verdict);
}

void tst_OtaServer::roadOfOneDevice_data()
{
    QTest::addColumn<quint32>("versionAfterRestart");
    QTest::addColumn<int>("result");
    QTest::newRow("new version") << kNew << int(ProgressHelper::eResultSuccess);
    QTest::newRow("old version") << kOld << int(ProgressHelper::eResultVerifFail);
}

void tst_OtaServer::roadOfOneDevice()
{
    QFETCH(quint32, versionAfterRestart);
    QFETCH(int, result);
    StickHarness harness;
    prepare(harness);
    harness.stick->startDeviceUpdate(true);
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateDeviceUpdate);
    quint8 seq = 10;

    ZclReply reply = parseReply(harness.reply(queryNextImage(++seq, 0x1a2b, 1, kOld)));
    QCOMPARE(reply.seq, seq);
    QCOMPARE(reply.dstShortAddress, quint16(0x1a2b));
    QCOMPARE(reply.responseId, quint8(0x02));
    QCOMPARE(reply.status(), quint8(0x00));
    QCOMPARE(reply.fileVersion(), kNew);
    QCOMPARE(reply.imageSize(), 1000u);
    ZigBeeDevice* device = harness.model->findDevice(0x1a2b);
    QVERIFY(device);
    QCOMPARE(device->m_clientState, ZigBeeDevice::eClientStatePrepareUpdate);
    QCOMPARE(device->m_result, ProgressHelper::eResultStart);
    QVERIFY(harness.services->isInUpdateList(0x1a2b));
    // The IEEE address arrives least significant byte first and is shown the other way round.
    QCOMPARE(harness.model->get(0).value("extAddress").toString(), QString("08:07:06:05:04:03:02:01"));

    // The client allows 64 bytes; it gets 40 per block.
    const QByteArray image = StickHarness::imageBytes(1000);
    for (quint32 offset = 0; offset < 1000; offset += 40) {
        reply = parseReply(harness.reply(imageBlock(++seq, 0x1a2b, 1, offset, 64)));
        QCOMPARE(reply.responseId, quint8(0x05));
        QCOMPARE(reply.status(), quint8(0x00));
        QCOMPARE(reply.fileOffset(), offset);
        QCOMPARE(reply.blockData(), image.mid(int(offset), 40));
        QCOMPARE(device->m_progress, int((offset + 40) * 1000 / 1000));
        QCOMPARE(device->m_clientState, ZigBeeDevice::eClientStateLoadData);
        QCOMPARE(device->m_result, ProgressHelper::eResultTransfer);
    }
    QCOMPARE(device->m_progress, 1000);

    const QByteArray end = harness.reply(upgradeEnd(++seq, 0x1a2b, 1, kNew));
    QCOMPARE(end.mid(22).toHex(), QByteArray("07"
                                             "3d1c"
                                             "0100"
                                             "03020100"
                                             "00000000"
                                             "00000000"));
    QCOMPARE(device->m_result, ProgressHelper::eResultWaiting);
    QCOMPARE(device->m_clientState, ZigBeeDevice::eClientStateCheckWriteData);
    QVERIFY(!harness.services->isInUpdateList(0x1a2b));

    // After its restart the device reports the version it runs.
    reply = parseReply(harness.reply(queryNextImage(++seq, 0x1a2b, 1, versionAfterRestart)));
    const bool success = result == ProgressHelper::eResultSuccess;
    QCOMPARE(device->m_version, versionAfterRestart);
    if (success) {
        QCOMPARE(device->m_result, ProgressHelper::eResultSuccess);
        QCOMPARE(device->m_failCounter, 0);
        QCOMPARE(harness.model->get(0).value("done").toString(), QString("qrc:/pic/checkmark.png"));
        QVERIFY(reply.status() != 0x00);
        QVERIFY(!harness.services->isInUpdateList(0x1a2b));
    } else {
        // Counted as failed and, the list being empty, offered the image again.
        QCOMPARE(device->m_failCounter, 1);
        QCOMPARE(reply.status(), quint8(0x00));
        QVERIFY(harness.services->isInUpdateList(0x1a2b));
        QCOMPARE(device->m_result, ProgressHelper::eResultStart);
    }
}

void tst_OtaServer::blockSizes_data()
{
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<quint32>("offset");
    QTest::addColumn<int>("maxSize");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("progress");
    // Progress counts what was served from the start on: a first request
    // far ahead, even at the last offset, counts nothing.
    QTest::newRow("first 40 of 3000") << 3000 << 0u << 64 << 40 << 13;
    QTest::newRow("offset 960 of 1000") << 1000 << 960u << 64 << 40 << 0;
    QTest::newRow("offset 980 of 1000") << 1000 << 980u << 64 << 20 << 0;
    QTest::newRow("client allows 10") << 1000 << 0u << 10 << 10 << 10;
    QTest::newRow("past the end") << 1000 << 4000000000u << 64 << 0 << 0;
}

void tst_OtaServer::blockSizes()
{
    QFETCH(int, fileSize);
    QFETCH(quint32, offset);
    QFETCH(int, maxSize);
    QFETCH(int, bytes);
    QFETCH(int, progress);
    StickHarness harness;
    prepare(harness, fileSize);
    harness.stick->startDeviceUpdate(true);
    harness.exchange(queryNextImage(1, 0x1a2b, 1, kOld));

    const ZclReply reply = parseReply(harness.reply(imageBlock(2, 0x1a2b, 1, offset, quint8(maxSize))));
    QCOMPARE(reply.status(), quint8(0x00));
    QCOMPARE(reply.blockData(), StickHarness::imageBytes(fileSize).mid(int(qMin<quint32>(offset, 1u << 30)), bytes));
    QCOMPARE(reply.response.size(), 14 + bytes);
    QCOMPARE(harness.model->findDevice(0x1a2b)->m_progress, progress);
}

void tst_OtaServer::oneDeviceAtATime()
{
    StickHarness harness;
    prepare(harness);
    harness.stick->startDeviceUpdate(true);
    QCOMPARE(parseReply(harness.reply(queryNextImage(1, 0x0001, 1, kOld))).status(), quint8(0x00));

    const ZclReply waiting = parseReply(harness.reply(queryNextImage(2, 0x0002, 1, kOld)));
    QCOMPARE(waiting.status(), quint8(0x95));
    QCOMPARE(waiting.fileVersion(), 0u);
    QCOMPARE(harness.model->findDevice(0x0002)->m_clientState, ZigBeeDevice::eClientStateWaitForUpdateInfo);
    QCOMPARE(harness.services->updateList(), QList<ushort>{0x0001});
    // It joined the run: it takes part with progress 0.
    QCOMPARE(harness.model->findDevice(0x0002)->m_progress, 0);

    // Its block requests are refused while it waits.
    QCOMPARE(parseReply(harness.reply(imageBlock(3, 0x0002, 1, 0, 40))).status(), quint8(0x95));
}

void tst_OtaServer::wallTransmitterGoesFirst()
{
    StickHarness harness;
    prepare(harness);
    harness.stick->startDeviceUpdate(true);
    // A control element is being updated; a wall transmitter shows up and waits.
    QCOMPARE(parseReply(harness.reply(queryNextImage(1, 0x0001, 1, kOld))).status(), quint8(0x00));
    QCOMPARE(parseReply(harness.reply(queryNextImage(2, 0x0200, 2, 0x010000))).status(), quint8(0x95));
    harness.reply(upgradeEnd(3, 0x0001, 1, kNew));
    QVERIFY(harness.services->updateList().isEmpty());

    // While the wall transmitter with its pending update is awake, other types wait.
    QCOMPARE(parseReply(harness.reply(queryNextImage(4, 0x0002, 1, kOld))).status(), quint8(0x95));
    QVERIFY(harness.services->updateList().isEmpty());
    const ZclReply wall = parseReply(harness.reply(queryNextImage(5, 0x0200, 2, 0x010000)));
    QCOMPARE(wall.status(), quint8(0x00));
    QCOMPARE(wall.fileVersion(), 0x020000u);
    QCOMPARE(wall.imageSize(), 500u);
    QCOMPARE(harness.services->updateList(), QList<ushort>{0x0200});

    // It falls silent: taken off the list; asleep it holds nobody back.
    ZigBeeDevice* device = harness.model->findDevice(0x0200);
    harness.model->supervise(device->m_lastActivity.addSecs(device->m_timeout + 1));
    QCOMPARE(device->m_clientState, ZigBeeDevice::eClientStateNoActivity);
    QVERIFY(harness.services->updateList().isEmpty());
    QCOMPARE(parseReply(harness.reply(queryNextImage(6, 0x0002, 1, kOld))).status(), quint8(0x00));
}

void tst_OtaServer::threeAttemptsAtMost()
{
    StickHarness harness;
    prepare(harness);
    harness.stick->startDeviceUpdate(true);
    QCOMPARE(parseReply(harness.reply(queryNextImage(1, 0x0001, 1, kOld))).status(), quint8(0x00));
    harness.reply(imageBlock(2, 0x0001, 1, 0, 40));
    ZigBeeDevice* device = harness.model->findDevice(0x0001);

    // Restarts in the middle of the transfer.
    QCOMPARE(parseReply(harness.reply(queryNextImage(3, 0x0001, 1, kOld))).status(), quint8(0x00));
    QCOMPARE(device->m_failCounter, 1);
    QCOMPARE(device->m_result, ProgressHelper::eResultStart);
    QCOMPARE(parseReply(harness.reply(queryNextImage(4, 0x0001, 1, kOld))).status(), quint8(0x00));
    QCOMPARE(device->m_failCounter, 2);

    // The third time it is given up and no longer holds up the run.
    QVERIFY(parseReply(harness.reply(queryNextImage(5, 0x0001, 1, kOld))).status() != 0x00);
    QCOMPARE(device->m_failCounter, 3);
    QCOMPARE(device->m_result, ProgressHelper::eResultVerifFail);
    QVERIFY(device->isDone());
    QVERIFY(harness.services->updateList().isEmpty());
    QCOMPARE(harness.model->get(0).value("done").toString(), QString("qrc:/pic/error.png"));

    QCOMPARE(parseReply(harness.reply(queryNextImage(6, 0x0002, 1, kOld))).status(), quint8(0x00));
    // The given-up device is not started again.
    QCOMPARE(parseReply(harness.reply(queryNextImage(7, 0x0001, 1, kOld))).status(), quint8(0x95));
    QCOMPARE(device->m_failCounter, 3);
}

void tst_OtaServer::missingOrEmptyFile_data()
{
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("missing") << -1 << "ctl.ota";
    QTest::newRow("empty") << 0 << "ctl.ota";
    // The path would name the update folder itself.
    QTest::newRow("no file name") << 1000 << "";
    // An OTA upgrade file claiming another image type, version or size than
    // its row, verified as it is.
    QTest::newRow("header of another type") << -2 << "ctl.ota";
    QTest::newRow("header of another version") << -3 << "ctl.ota";
    QTest::newRow("header of another size") << -4 << "ctl.ota";
    // The held file's bytes are no longer those verified: another image of
    // the same size, or the file grown.
    QTest::newRow("other bytes since it was verified") << -5 << "ctl.ota";
    QTest::newRow("grown since it was verified") << -6 << "ctl.ota";
}

void tst_OtaServer::missingOrEmptyFile()
{
    QFETCH(int, fileSize);
    QFETCH(QString, fileName);
    StickHarness harness;
    harness.files->addFirmwareFile(1, "1.2.3", fileName, 0);
    prepare(harness, qMax(fileSize, -1));
    if (fileSize < -1 && fileSize > -5) {
        QByteArray image = Publisher::otaImage(fileSize == -2 ? 2 : 1, fileSize == -3 ? kOld : kNew, 200);
        if (fileSize == -4)
            image.chop(1);
        QVERIFY(writeFile(getUpdatePath() + "/ctl.ota", image));
        harness.files->findByDevType(1)->m_fileDigest =
            HeldFileDigest(image.size(), QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    } else if (fileSize <= -5) {
        QByteArray image = StickHarness::imageBytes(1000);
        image[500] = char(image.at(500) ^ 1);
        if (fileSize == -6)
            image.append('x');
        QVERIFY(writeFile(getUpdatePath() + "/ctl.ota", image));
    }
    harness.stick->startDeviceUpdate(true);

    // One request, one reply.
    const QList<QByteArray> sent = harness.exchange(queryNextImage(1, 0x0001, 1, kOld));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(parseReply(sent.first()).status(), quint8(0x98));
    ZigBeeDevice* device = harness.model->findDevice(0x0001);
    QCOMPARE(device->m_result, ProgressHelper::eResultMissingFile);
    QCOMPARE(device->m_failCounter, 3);
    QCOMPARE(device->m_clientState, ZigBeeDevice::eClientStateNoImageAvailable);
    QVERIFY(harness.services->updateList().isEmpty());
    // A repetition gets that same reply.
    QCOMPARE(harness.reply(queryNextImage(1, 0x0001, 1, kOld)), sent.first());
    // The file list shows a changed file as gone.
    if (fileSize <= -5)
        QCOMPARE(harness.files->findByDevType(1)->m_result, ProgressHelper::eResultMissingFile);
}

void tst_OtaServer::servedFileIsThePlainName()
{
    StickHarness harness;
    harness.files->addFirmwareFile(4, "1.0.0", "some/dir/plug.ota", 0);
    harness.writeImage("plug.ota", 77);
    harness.connectStick();
    harness.stick->startDeviceUpdate(true);
    const ZclReply reply = parseReply(harness.reply(queryNextImage(1, 0x0004, 4, 0)));
    QCOMPARE(reply.status(), quint8(0x00));
    QCOMPARE(reply.imageSize(), 77u);
}

void tst_OtaServer::foreignManufacturer()
{
    StickHarness harness;
    prepare(harness);
    harness.stick->startDeviceUpdate(true);

    ZclReply reply = parseReply(harness.reply(queryNextImage(1, 0x0001, 1, kOld, 0x1234)));
    QCOMPARE(reply.status(), quint8(0x98));
    QCOMPARE(reply.response.toHex(), QByteArray("98"
                                                "3412"
                                                "0100"
                                                "00020100"
                                                "00000000"));
    QCOMPARE(harness.model->rowCount(), 0);

    reply = parseReply(harness.reply(imageBlock(2, 0x0001, 1, 40, 40, 0x1234)));
    QCOMPARE(reply.response.toHex(), QByteArray("98"
                                                "0000"
                                                "0000"
                                                "00000000"
                                                "00000000"
                                                "00"));

    reply = parseReply(harness.reply(upgradeEnd(3, 0x0001, 1, kNew, 0, 0x1234)));
    QCOMPARE(reply.response, QByteArray(16, 0));
    QCOMPARE(harness.model->rowCount(), 0);
}

void tst_OtaServer::blockRefusals_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("no record for the type") << "type";
    QTest::newRow("stick outside a stick update") << "stick";
    QTest::newRow("device outside a run") << "idle";
    QTest::newRow("unknown device") << "unknown";
    QTest::newRow("device not in the list") << "waiting";
    // The device in the list asks for something it was not offered.
    QTest::newRow("another type's image") << "other type";
    QTest::newRow("another version") << "other version";
}

void tst_OtaServer::blockRefusals()
{
    QFETCH(QString, situation);
    StickHarness harness;
    prepare(harness);
    harness.files->addFirmwareFile(6, "2.0.0", "stick.ota", 0);
    harness.writeImage("stick.ota", 100);
    if (situation != "idle")
        harness.stick->startDeviceUpdate(true);
    harness.exchange(queryNextImage(1, 0x0001, 1, kOld));
    harness.exchange(queryNextImage(2, 0x0002, 1, kOld));

    QByteArray request = imageBlock(3, 0x0002, 1, 0, 40);
    if (situation == "type")
        request = imageBlock(3, 0x0002, 9, 0, 40);
    else if (situation == "stick")
        request = imageBlock(3, 0x0000, 6, 0, 40);
    else if (situation == "unknown")
        request = imageBlock(3, 0x0777, 1, 0, 40);
    else if (situation == "idle")
        request = imageBlock(3, 0x0001, 1, 0, 40);
    else if (situation == "other type")
        request = imageBlock(3, 0x0001, 2, 0, 40, kManufacturer, 0x020000);
    else if (situation == "other version")
        request = imageBlock(3, 0x0001, 1, 0, 40, kManufacturer, kOld);

    const ZclReply reply = parseReply(harness.reply(request));
    QCOMPARE(reply.status(), quint8(0x95));
    QCOMPARE(reply.blockData(), QByteArray());
    // Nothing was served: the device being updated has no progress to show.
    if (ZigBeeDevice* device = harness.model->findDevice(0x0001))
        QVERIFY(device->m_progress <= 0);
}

void tst_OtaServer::fileErrorDuringTransfer()
{
    StickHarness harness;
    const QString path = harness.writeImage("ctl.ota", 1000);
    prepare(harness);
    harness.stick->startDeviceUpdate(true);
    harness.exchange(queryNextImage(1, 0x0001, 1, kOld));
    QVERIFY(QFile::remove(path));

    const ZclReply reply = parseReply(harness.reply(imageBlock(2, 0x0001, 1, 0, 40)));
    QCOMPARE(reply.status(), quint8(0x95));
    ZigBeeDevice* device = harness.model->findDevice(0x0001);
    QCOMPARE(device->m_result, ProgressHelper::eResultFail);
    QCOMPARE(device->m_clientState, ZigBeeDevice::eClientStateAbortUpdate);
    // It stays in the list until it ends, restarts or times out.
    QVERIFY(harness.services->isInUpdateList(0x0001));
}

void tst_OtaServer::updateStopAfterSearchTime()
{
    StickHarness harness;
    prepare(harness);
    harness.stick->startDeviceUpdate(true);
    // Nothing to update, but the search time has not passed.
    harness.exchange(queryNextImage(1, 0x0001, 1, kNew));
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateDeviceUpdate);

    // The same run, begun 1500 s ago.
    harness.model->startUpdate(QDateTime::currentDateTimeUtc().addSecs(-1500));
    harness.exchange(queryNextImage(2, 0x0001, 1, kNew));
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateIdle);
}

void tst_OtaServer::abortRun()
{
    StickHarness harness;
    prepare(harness);
    harness.stick->startDeviceUpdate(true);
    harness.exchange(queryNextImage(1, 0x0001, 1, kOld));
    harness.exchange(imageBlock(2, 0x0001, 1, 0, 40));
    QSignalSpy help(harness.stick, &StickInterface::helpUpdateRequired);

    harness.stick->startDeviceUpdate(false);
    QCOMPARE(help.count(), 1);
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateIdle);
    QVERIFY(harness.services->updateList().isEmpty());
    QCOMPARE(harness.model->findDevice(0x0001)->m_progress, -1);

    const ZclReply reply = parseReply(harness.reply(imageBlock(3, 0x0001, 1, 40, 40)));
    QCOMPARE(reply.status(), quint8(0x95));
    QCOMPARE(harness.model->findDevice(0x0001)->m_updateDuration, -1); // the timing was reset
}

void tst_OtaServer::measuredDurationFeedsAverage()
{
    StickHarness harness;
    prepare(harness, 80);
    harness.stick->startDeviceUpdate(true);
    harness.exchange(queryNextImage(1, 0x0001, 1, kOld));
    harness.exchange(imageBlock(2, 0x0001, 1, 0, 40));
    ZigBeeDevice* device = harness.model->findDevice(0x0001);
    QCOMPARE(device->m_updateDuration, 0); // timing started at offset 0
    device->m_updateStart = device->m_updateStart.addSecs(-300);

    harness.exchange(imageBlock(3, 0x0001, 1, 40, 40));
    QCOMPARE(device->m_updateDuration, 300);
    const FirmwareUpdate* record = harness.files->findByDevType(1);
    QCOMPARE(record->m_duration, (300 + 2 * 0 + 2) / 3);
    QSettings backup(getUpdatePath() + "/backup.ini", QSettings::IniFormat);
    QCOMPARE(backup.value("1/duration").toInt(), 100);
}

void tst_OtaServer::upgradeEndRefused()
{
    StickHarness harness;
    prepare(harness, 80);
    harness.stick->startDeviceUpdate(true);
    // The run's search time is over: it may end once no device is left to update.
    harness.model->startUpdate(QDateTime::currentDateTimeUtc().addSecs(-1500));
    ZigBeeDevice* device = nullptr;
    quint8 seq = 0;
    // The device takes the whole image three times and refuses it each time (0x96: invalid image).
    for (int attempt = 1; attempt <= 3; ++attempt) {
        QCOMPARE(parseReply(harness.reply(queryNextImage(++seq, 0x0001, 1, kOld))).status(), quint8(0x00));
        harness.exchange(imageBlock(++seq, 0x0001, 1, 0, 40));
        harness.exchange(imageBlock(++seq, 0x0001, 1, 40, 40));
        device = harness.model->findDevice(0x0001);
        QCOMPARE(device->m_progress, 1000);
        QCOMPARE(parseReply(harness.reply(upgradeEnd(++seq, 0x0001, 1, kNew, 0x96))).responseId, quint8(0x07));
        QCOMPARE(device->m_failCounter, attempt);
        QCOMPARE(device->m_result, ProgressHelper::eResultVerifFail);
        QCOMPARE(device->m_clientState, ZigBeeDevice::eClientStateAbortUpdate);
        QVERIFY(harness.services->updateList().isEmpty());
    }
    QVERIFY(device->isDone());
    QCOMPARE(harness.model->get(0).value("done").toString(), QString("qrc:/pic/error.png"));
    // With the third failure no device is left to update: the run ends by itself.
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateIdle);
    QVERIFY(parseReply(harness.reply(queryNextImage(++seq, 0x0001, 1, kOld))).status() != 0x00);
}

QTEST_GUILESS_MAIN(tst_OtaServer)
