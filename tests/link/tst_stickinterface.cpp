#include <QtTest>

#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "support/LogCapture.h"
#include "support/StickFrames.h"
#include "support/StickHarness.h"

using namespace StickFrames;

// The stick protocol: connect handshake, sequence filter with the stored
// reply, reset-to-factory-new poll, network status, malformed input and the
// display texts. Frame bodies go in through rxFrame; replies are collected.
class tst_StickInterface : public QObject
{
    Q_OBJECT
private slots:
    void queryNextImageReplyExample();
    void commandsBeforeConnectAreIgnored();
    void connectWhileConnected();
    void repeatedSequenceNumber_data();
    void repeatedSequenceNumber();
    void unansweredRequestStaysUnanswered();
    void resetToFNPoll();
    void networkStatusChanges();
    void firstStatusDiscoveryFailedArmsOneReset();
    void shortInputGetsNoReply_data();
    void shortInputGetsNoReply();
    void optionalTrailingFieldsAreIgnored();
    void unknownFramesAndCommands();
    void stickVersionText();
    void texts_data();
    void texts();
};

void tst_StickInterface::queryNextImageReplyExample()
{
    StickHarness harness;
    harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    harness.writeImage("ctl.ota", 0x12345);
    harness.connectStick();
    harness.stick->startDeviceUpdate(true);

    const QByteArray indication = QByteArray::fromHex("022b1a01020304050607080401"
                                                      "0b"
                                                      "1900"
                                                      "1900"
                                                      "00"
                                                      "01");
    const QByteArray request = QByteArray::fromHex("00"
                                                   "3d1c"
                                                   "0100"
                                                   "00020100");
    const QByteArray reply = harness.reply(command(5, 0x10, indication + request));
    QCOMPARE(reply.toHex(), QByteArray("040510"
                                       "022b1a0102030405060708040110"
                                       "0b"
                                       "1900"
                                       "0101"
                                       "02"
                                       "00"
                                       "3d1c"
                                       "0100"
                                       "03020100"
                                       "45230100"));
    QCOMPARE(reply.size(), 36);
}

void tst_StickInterface::commandsBeforeConnectAreIgnored()
{
    StickHarness harness;
    LogCapture log;
    QVERIFY(harness.exchange(command(1, 0x01)).isEmpty());
    QVERIFY(harness.exchange(queryNextImage(2, 0x1a2b, 1, 0)).isEmpty());
    QCOMPARE(harness.model->rowCount(), 0);
    QVERIFY(log.lines().isEmpty());

    QSignalSpy texts(harness.stick, &StickInterface::textChanged);
    QSignalSpy help(harness.stick, &StickInterface::helpUpdateRequired);
    QCOMPARE(harness.reply(connectRequest()), QByteArray::fromHex("02"));
    QVERIFY(log.contains("ConnectRequest found"));
    QVERIFY(log.contains("sendConnectAccept: 1 bytes '02'"));
    QCOMPARE(harness.stick->linkState(), int(CSerialPortHandler::eStateConnected));
    QVERIFY(texts.contains(QVariantList{11}));
    QVERIFY(!help.isEmpty());
    QCOMPARE(harness.reply(command(1, 0x01)), QByteArray::fromHex("040100"));
}

void tst_StickInterface::connectWhileConnected()
{
    StickHarness harness;
    harness.connectStick();
    QCOMPARE(harness.stick->stickUpdateState(), int(StickImageUpdate::eStickUpdateStateIdle));
    QCOMPARE(harness.reply(command(7, 0x01)), QByteArray::fromHex("040700"));

    // The stick restarted: accepted again, and the filter starts over.
    QCOMPARE(harness.reply(connectRequest()), QByteArray::fromHex("02"));
    QCOMPARE(harness.reply(command(7, 0x01)), QByteArray::fromHex("040700"));
    // Sequence number 0 right after a connect counts as a repetition of the accept.
    harness.connectStick();
    QCOMPARE(harness.reply(command(0, 0x01)), QByteArray::fromHex("02"));
}

void tst_StickInterface::repeatedSequenceNumber_data()
{
    QTest::addColumn<QString>("effect");
    QTest::newRow("device added") << "device";
    QTest::newRow("image block served") << "block";
    QTest::newRow("reset flag cleared") << "reset";
}

void tst_StickInterface::repeatedSequenceNumber()
{
    QFETCH(QString, effect);
    StickHarness harness;
    harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    harness.writeImage("ctl.ota", 1000);
    harness.connectStick();

    QByteArray request;
    if (effect == "device") {
        request = queryNextImage(9, 0x1a2b, 1, 0x010200);
    } else if (effect == "block") {
        harness.stick->startDeviceUpdate(true);
        harness.exchange(queryNextImage(8, 0x1a2b, 1, 0x010200));
        request = imageBlock(9, 0x1a2b, 1, 0, 40);
    } else {
        harness.stick->requestResetToFN();
        request = command(9, 0x01);
    }

    QSignalSpy inserted(harness.model, &QAbstractItemModel::rowsInserted);
    LogCapture log;
    const QByteArray first = harness.reply(request);
    QVERIFY(!first.isEmpty());
    const QStringList linesOfFirst = log.lines();
    log.clear();
    const QByteArray second = harness.reply(request);
    QCOMPARE(second, first);
    // The repetition changes nothing and logs nothing (Qt's own warning
    // about the port that is not open aside).
    QVERIFY(log.lines().filter(QRegularExpression("^(?!QIODevice::write)")).isEmpty());

    if (effect == "device") {
        QCOMPARE(inserted.count(), 1);
    } else if (effect == "block") {
        QCOMPARE(linesOfFirst.filter("DEV - file name").size(), 1);
        QCOMPARE(parseReply(second).blockData(), StickHarness::imageBytes(40));
    } else {
        QCOMPARE(second, QByteArray::fromHex("040901"));
        QVERIFY(!harness.stick->isResetToFNPending());
    }
}

void tst_StickInterface::unansweredRequestStaysUnanswered()
{
    StickHarness harness;
    harness.connectStick();
    QCOMPARE(harness.reply(command(1, 0x01)), QByteArray::fromHex("040100"));
    // An unknown command gets no reply, and neither does its repetition
    // (the stored reply belongs to sequence number 1).
    QVERIFY(harness.exchange(command(2, 0x55)).isEmpty());
    QVERIFY(harness.exchange(command(2, 0x55)).isEmpty());
    QCOMPARE(harness.reply(command(3, 0x01)), QByteArray::fromHex("040300"));
}

void tst_StickInterface::resetToFNPoll()
{
    StickHarness harness;
    harness.connectStick();
    harness.model->addZigBeeDevice(0x1a2b, 1, 0);
    harness.stick->requestResetToFN();
    QCOMPARE(harness.model->rowCount(), 0);
    QCOMPARE(harness.reply(command(1, 0x01)), QByteArray::fromHex("040101"));
    QCOMPARE(harness.reply(command(1, 0x01)), QByteArray::fromHex("040101"));
    QCOMPARE(harness.reply(command(2, 0x01)), QByteArray::fromHex("040200"));
}

void tst_StickInterface::networkStatusChanges()
{
    StickHarness harness;
    harness.connectStick();
    harness.model->addZigBeeDevice(0x0001, 1, 0);
    QSignalSpy repaint(harness.stick, &StickInterface::deviceDataRepaint);
    LogCapture log;

    QCOMPARE(harness.reply(networkStatus(1, 3, 11, 0x1122334455667788ull, 0x1a2b)), QByteArray::fromHex("0401"));
    QVERIFY(log.contains("network status: 12 bytes '03 0B 88 77 66 55 44 33 22 11 2B 1A'"));
    QVERIFY(log.contains("empty reply: 2 bytes '04 01'"));
    QCOMPARE(harness.model->rowCount(), 0); // a new network
    QCOMPARE(harness.stick->getText(13), QString("joined <font color=\"grey\">( Ch: 11 | Addr: 1a2b )</font>"));
    QCOMPARE(repaint.count(), 1);

    harness.model->addZigBeeDevice(0x0001, 1, 0);
    QCOMPARE(harness.reply(networkStatus(2, 1, 15, 0x1122334455667788ull, 0x0001)), QByteArray::fromHex("0402"));
    QCOMPARE(harness.model->rowCount(), 1); // the same network
    QCOMPARE(harness.stick->getText(13), QString("discovering..."));

    // Another network in the middle of a run: no device of the old one stays
    // in the update list, and the new network's devices are served.
    harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    harness.writeImage("ctl.ota", 100);
    harness.stick->startDeviceUpdate(true);
    harness.services->addToUpdateList(0x0001);
    QSignalSpy changed(harness.stick, &StickInterface::networkChanged);
    QCOMPARE(harness.reply(networkStatus(3, 3, 15, 0x99ull, 0x0001)), QByteArray::fromHex("0403"));
    QCOMPARE(harness.model->rowCount(), 0);
    QVERIFY(harness.services->updateList().isEmpty());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(parseReply(harness.reply(queryNextImage(4, 0x0002, 1, 0x010000))).status(), quint8(0x00));
    QCOMPARE(harness.services->updateList(), QList<ushort>{0x0002});
}

void tst_StickInterface::firstStatusDiscoveryFailedArmsOneReset()
{
    StickHarness harness;
    harness.connectStick();
    QCOMPARE(harness.reply(networkStatus(1, 2, 0, 0, 0)), QByteArray::fromHex("0401"));
    QCOMPARE(harness.stick->getText(13), QString("discovery failed"));
    QCOMPARE(harness.reply(command(2, 0x01)), QByteArray::fromHex("040201"));

    // Only the first status since start-up arms the reset.
    QCOMPARE(harness.reply(networkStatus(3, 2, 0, 0, 0)), QByteArray::fromHex("0403"));
    QCOMPARE(harness.reply(command(4, 0x01)), QByteArray::fromHex("040400"));
}

void tst_StickInterface::shortInputGetsNoReply_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("logged");
    const QByteArray query = queryNextImage(5, 0x1a2b, 1, 0x010200);
    const QByteArray block = imageBlock(5, 0x1a2b, 1, 0, 40);
    const QByteArray end = upgradeEnd(5, 0x1a2b, 1, 0x010203);
    QTest::newRow("command of two bytes") << QByteArray::fromHex("0305") << "WRONG CommandRequest found";
    QTest::newRow("network status of 11 bytes")
        << networkStatus(5, 3, 11, 1, 2).left(3 + 11) << "WRONG network status: 11 bytes, 12 expected";
    QTest::newRow("indication of 19 bytes") << query.left(3 + 19) << "WRONG cmd indication: 19 bytes '02 2B 1A";
    QTest::newRow("empty indication") << command(5, 0x10) << "WRONG cmd indication: 0 bytes ''";
    QTest::newRow("query of 8 bytes") << query.left(query.size() - 1) << "WRONG QueryNextImageReq: 28 bytes";
    QTest::newRow("block of 13 bytes") << block.left(block.size() - 1) << "WRONG ImageBlockReq: 33 bytes";
    QTest::newRow("end of 8 bytes") << end.left(end.size() - 1) << "WRONG UpgradeEndReq: 28 bytes";
}

void tst_StickInterface::shortInputGetsNoReply()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, logged);
    StickHarness harness;
    harness.connectStick();
    harness.stick->startDeviceUpdate(true);
    LogCapture log;
    QVERIFY(harness.exchange(frame).isEmpty());
    QVERIFY2(log.contains(logged), qPrintable(log.lines().join('\n')));
    QCOMPARE(harness.model->rowCount(), 0);
    QCOMPARE(harness.stick->nwkState(), int(StickInterface::eNwkStateUnknown));
    // A repetition stays unanswered as well.
    QVERIFY(harness.exchange(frame).isEmpty());
}

void tst_StickInterface::optionalTrailingFieldsAreIgnored()
{
    StickHarness harness;
    harness.connectStick();
    // A query carrying a hardware version after the version field.
    const QByteArray reply = harness.reply(queryNextImage(5, 0x1a2b, 1, 0x010200) + QByteArray::fromHex("0300"));
    const ZclReply parsed = parseReply(reply);
    QVERIFY(parsed.valid);
    QCOMPARE(parsed.responseId, quint8(0x02));
    QCOMPARE(harness.model->rowCount(), 1);
    QCOMPARE(harness.model->findDevice(0x1a2b)->m_version, 0x010200u);
    // A network status with two extra bytes.
    QCOMPARE(harness.reply(networkStatus(6, 3, 20, 5, 0x0102) + "xx"), QByteArray::fromHex("0406"));
    QCOMPARE(harness.stick->getText(13), QString("joined <font color=\"grey\">( Ch: 20 | Addr: 0102 )</font>"));
}

void tst_StickInterface::unknownFramesAndCommands()
{
    StickHarness harness;
    harness.connectStick();
    LogCapture log;
    QVERIFY(harness.exchange(QByteArray::fromHex("07aabb")).isEmpty());
    QVERIFY(log.contains("unknown frame:  3 bytes '07 AA BB'"));
    QVERIFY(harness.exchange(QByteArray()).isEmpty());
    QVERIFY(harness.exchange(command(4, 0x20, "z")).isEmpty());
    QVERIFY(log.contains("unknown command: 4 bytes '03 04 20 7A'"));
    QVERIFY(harness.exchange(command(5, 0x10, indication(0x1a2b, 0x09, QByteArray()))).isEmpty());
    QVERIFY(log.contains("UNKNOWN cmd id; cmd indication: srcAddrMode 02, srcShortAddress 1a2b, srcExtAddress "
                         "'01 02 03 04 05 06 07 08', srcProfileId 0104, srcEndpointId 0b, srcClusterId 0019, "
                         "clusterId 0019, direction 00, commandId 09"));
}

void tst_StickInterface::stickVersionText()
{
    StickHarness harness;
    StickInterface& stick = *harness.stick;
    QCOMPARE(stick.getText(11), QString("unknown")); // not connected
    harness.connectStick();
    QCOMPARE(stick.getText(11), QString("unknown")); // version not yet reported

    harness.exchange(queryNextImage(1, 0x0000, 6, 0x010000));
    QCOMPARE(stick.getText(11), QString("V1.0.0"));
    QVERIFY(!stick.isStickUpdateAvailable());

    stick.setStickUpdateInfo(0x020000, "stick.ota");
    QVERIFY(stick.isStickUpdateAvailable());
    QCOMPARE(stick.getText(11), QString("<font color=\"blue\">V1.0.0</font><img src=\"qrc:/pic/update_arrow.png\"/>"
                                        "<font color=\"green\">V2.0.0</font><font color=\"black\"></font>"));

    // An older announcement leaves the record alone.
    stick.setStickUpdateInfo(0x010500, "old.ota");
    QCOMPARE(stick.stickFirmware().updateVersion(), 0x020000u);
}

void tst_StickInterface::texts_data()
{
    QTest::addColumn<int>("txtId");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("text");
    QTest::newRow("12 searching") << 12 << false << "searching stick...";
    QTest::newRow("12 connected") << 12 << true << "connected";
    QTest::newRow("13 not connected") << 13 << false << "unknown";
    QTest::newRow("13 no status yet") << 13 << true << "unknown";
    QTest::newRow("32 idle") << 32 << true << "";
    QTest::newRow("14") << 14 << true << "wrong txt Id 14";
    QTest::newRow("-1") << -1 << false << "wrong txt Id -1";
}

void tst_StickInterface::texts()
{
    QFETCH(int, txtId);
    QFETCH(bool, connected);
    QFETCH(QString, text);
    StickHarness harness;
    if (connected)
        harness.connectStick();
    LogCapture log;
    QCOMPARE(harness.stick->getText(txtId), text);
    QCOMPARE(log.contains("wrong txt Id"), text.startsWith("wrong txt Id"));
}

QTEST_GUILESS_MAIN(tst_StickInterface)
#include "tst_stickinterface.moc"
