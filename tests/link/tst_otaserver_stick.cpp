#include <QSignalSpy>
#include <QtTest>

#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "support/StickFrames.h"
#include "support/StickHarness.h"
#include "tst_otaserver.h"

using namespace StickFrames;

// The stick's own update through the OTA server: it always ends, and only
// the stick's own address speaks for it.

void tst_OtaServer::stickUpdate_data()
{
    QTest::addColumn<quint32>("versionAfterRestart");
    QTest::addColumn<int>("finalState");
    QTest::addColumn<QString>("picture");
    QTest::newRow("new version") << 0x020000u << 4 << "qrc:/pic/checkmark.png";
    QTest::newRow("still pending") << 0x010000u << 5 << "qrc:/pic/error.png";
}

void tst_OtaServer::stickUpdate()
{
    QFETCH(quint32, versionAfterRestart);
    QFETCH(int, finalState);
    QFETCH(QString, picture);
    StickHarness harness;
    StickInterface& stick = *harness.stick;
    harness.files->addFirmwareFile(6, "2.0.0", "stick.ota", 0);
    harness.writeImage("stick.ota", 100);
    harness.connectStick();
    QCOMPARE(stick.stickUpdateState(), 1);
    stick.setStickUpdateInfo(0x020000, "stick.ota");
    harness.exchange(queryNextImage(1, 0x0000, 6, 0x010000));
    QCOMPARE(stick.stickUpdateState(), 1); // an update is pending
    QVERIFY(stick.isStickUpdateAvailable());

    stick.startStickUpdate();
    QCOMPARE(stick.stickUpdateState(), 2);
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateStickUpdate);
    QCOMPARE(stick.stickFirmware().m_progress, 0);

    ZclReply reply = parseReply(harness.reply(queryNextImage(2, 0x0000, 6, 0x010000)));
    QCOMPARE(reply.status(), quint8(0x00));
    QCOMPARE(reply.fileVersion(), 0x020000u);
    QCOMPARE(reply.imageSize(), 100u);
    QCOMPARE(harness.model->rowCount(), 0); // the stick is no row of the device list

    reply = parseReply(harness.reply(imageBlock(3, 0x0000, 6, 0, 40, kManufacturer, 0x020000)));
    QCOMPARE(reply.blockData(), StickHarness::imageBytes(100).left(40));
    QCOMPARE(stick.stickFirmware().m_progress, 400);
    harness.exchange(imageBlock(4, 0x0000, 6, 40, 40, kManufacturer, 0x020000));
    harness.exchange(imageBlock(5, 0x0000, 6, 80, 40, kManufacturer, 0x020000));
    QCOMPARE(stick.stickFirmware().m_progress, 1000);

    harness.exchange(upgradeEnd(6, 0x0000, 6, 0x020000));
    QCOMPARE(stick.stickUpdateState(), 3);

    QSignalSpy help(&stick, &StickInterface::helpUpdateRequired);
    harness.exchange(queryNextImage(7, 0x0000, 6, versionAfterRestart));
    QCOMPARE(stick.stickUpdateState(), finalState);
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateIdle);
    QCOMPARE(help.count(), 1); // the help box leaves "wait until stick is updated"
    QCOMPARE(stick.getText(32), picture);
    if (finalState == 5)
        QVERIFY(stick.getText(11).endsWith("<font color=\"black\"> Verification failed</font>"));
    else
        QCOMPARE(stick.getText(11), QString("V2.0.0"));
}

void tst_OtaServer::stickUpdateAlwaysEnds_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("finalState");
    QTest::newRow("no file to offer") << "no file" << 5;
    QTest::newRow("file gone during the transfer") << "file gone" << 5;
    QTest::newRow("the stick refuses its image") << "end 0x96" << 5;
    QTest::newRow("the stick never comes back") << "silence" << 5;
    QTest::newRow("cancelled") << "cancel" << 1;
    // Between its last query and the start it took the version on offer: nothing older or equal is served.
    QTest::newRow("the stick runs the offered version already") << "runs it" << 6;
}

void tst_OtaServer::stickUpdateAlwaysEnds()
{
    QFETCH(QString, fault);
    QFETCH(int, finalState);
    StickHarness harness;
    StickInterface& stick = *harness.stick;
    harness.files->addFirmwareFile(6, "2.0.0", "stick.ota", 0);
    const QString path = harness.writeImage("stick.ota", 100);
    harness.connectStick();
    stick.setStickUpdateInfo(0x020000, "stick.ota");
    harness.exchange(queryNextImage(1, 0x0000, 6, 0x010000));
    if (fault == "no file")
        QVERIFY(QFile::remove(path));
    stick.otaServer().stickUpdate().setSilenceLimit(200);
    stick.startStickUpdate();

    const quint32 reported = fault == "runs it" ? 0x020000 : 0x010000;
    const quint8 offer = parseReply(harness.reply(queryNextImage(2, 0x0000, 6, reported))).status();
    // Before the index is in, a client without an offer is told to ask again.
    QCOMPARE(offer, quint8(fault == "no file" ? 0x98 : fault == "runs it" ? 0x95 : 0x00));
    if (fault == "file gone") {
        QVERIFY(QFile::remove(path));
        QCOMPARE(parseReply(harness.reply(imageBlock(3, 0x0000, 6, 0, 40, kManufacturer, 0x020000))).status(),
                 quint8(0x95));
    } else if (fault == "end 0x96") {
        harness.exchange(upgradeEnd(3, 0x0000, 6, 0x020000, 0x96));
    } else if (fault == "cancel") {
        stick.otaServer().stickUpdate().abort();
    }
    // Whatever went wrong: the stick update is over, and every button usable again.
    QTRY_COMPARE_WITH_TIMEOUT(harness.services->SysState(), SystemServices::SysStateIdle, 2000);
    QCOMPARE(stick.stickUpdateState(), finalState);
    QCOMPARE(stick.getText(32), QString(finalState == 5 ? "qrc:/pic/error.png" : ""));
    // A late block of the old transfer gets nothing.
    QCOMPARE(parseReply(harness.reply(imageBlock(9, 0x0000, 6, 40, 40, kManufacturer, 0x020000))).status(),
             quint8(0x95));
}

void tst_OtaServer::onlyTheStickSpeaksForIt_data()
{
    QTest::addColumn<bool>("joined");
    // Joined: the address of its network status; in no network: the first to ask in its update.
    QTest::newRow("stick in a network") << true;
    QTest::newRow("stick in no network") << false;
}

void tst_OtaServer::onlyTheStickSpeaksForIt()
{
    QFETCH(bool, joined);
    StickHarness harness;
    StickInterface& stick = *harness.stick;
    harness.files->addFirmwareFile(6, "2.0.0", "stick.ota", 0);
    harness.writeImage("stick.ota", 100);
    harness.connectStick();
    harness.exchange(networkStatus(1, joined ? 3 : 0, 11, 0x77, 0x0001));
    stick.setStickUpdateInfo(0x020000, "stick.ota");
    if (joined) {
        // A device of the network posing as the stick changes nothing.
        QCOMPARE(parseReply(harness.reply(queryNextImage(2, 0x4444, 6, 0x030000))).status(), quint8(0x98));
        QCOMPARE(stick.stickFirmware().versionString(), QString());
    }
    harness.exchange(queryNextImage(3, 0x0001, 6, 0x010000));
    QCOMPARE(stick.stickFirmware().versionString(), QString("1.0.0"));

    stick.startStickUpdate();
    QCOMPARE(parseReply(harness.reply(queryNextImage(4, 0x0001, 6, 0x010000))).status(), quint8(0x00));
    // Another address gets no offer and no blocks, and cannot end the stick's update.
    QCOMPARE(parseReply(harness.reply(queryNextImage(5, 0x4444, 6, 0x010000))).status(), quint8(0x98));
    QCOMPARE(parseReply(harness.reply(imageBlock(6, 0x4444, 6, 0, 40, kManufacturer, 0x020000))).status(),
             quint8(0x95));
    harness.exchange(upgradeEnd(7, 0x4444, 6, 0x020000));
    QCOMPARE(stick.stickUpdateState(), int(StickImageUpdate::eStickUpdateStateTransfer));
    QCOMPARE(stick.stickFirmware().m_progress, 0);
    QCOMPARE(stick.stickFirmware().versionString(), QString("1.0.0"));

    const ZclReply block = parseReply(harness.reply(imageBlock(8, 0x0001, 6, 0, 40, kManufacturer, 0x020000)));
    QCOMPARE(block.blockData(), StickHarness::imageBytes(100).left(40));
    QCOMPARE(stick.stickFirmware().m_progress, 400);
}
