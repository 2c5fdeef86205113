#include <QtTest>

#include "Publisher.h"
#include "SimDevice.h"

// One OTA client on a hand-driven clock, answered with hand-written ZCL
// response payloads.
class tst_SimDevice : public QObject
{
    Q_OBJECT
private slots:
    void queryAnswers_data();
    void queryAnswers();
    void transferEndings_data();
    void transferEndings();
    void receivedImageIsChecked_data();
    void receivedImageIsChecked();
    void badBlocksAreAskedAgain_data();
    void badBlocksAreAskedAgain();
    void abortEndsTheTransfer();
    void unansweredRequestsGiveTheTransferUp();
};

namespace {

QByteArray le32(quint32 _value)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out.append(char((_value >> (8 * i)) & 0xFF));
    return out;
}

SimClientConfig deviceConfig()
{
    SimClientConfig c;
    c.shortAddress = 0x1A2B;
    c.imageType = 1;
    c.version = 0x010000;
    c.queryIntervalMs = 5000;
    c.firstQueryMs = 0;
    c.restartDelayMs = 2000;
    c.requestRetryMs = 300;
    c.requestMaxRetries = 2;
    return c;
}

// Query Next Image Response: status, manufacturer 0x1C3D, type 1, version, size.
QByteArray offer(quint32 _version, quint32 _size)
{
    return QByteArray::fromHex("00 3d1c 0100") + le32(_version) + le32(_size);
}

// Image Block Response with status 0 for manufacturer 0x1C3D, type 1.
QByteArray block(quint32 _version, quint32 _offset, const QByteArray& _data)
{
    return QByteArray::fromHex("00 3d1c 0100") + le32(_version) + le32(_offset) + char(_data.size()) + _data;
}

QByteArray image(int _size)
{
    QByteArray bytes;
    for (int i = 0; i < _size; ++i)
        bytes.append(char((i * 37 + 11) & 0xFF));
    return bytes;
}

} // namespace

void tst_SimDevice::queryAnswers_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("badResponses");
    QTest::addColumn<bool>("settled");
    QTest::addColumn<QByteArray>("nextRequest"); // command byte, then payload

    const QByteArray query = QByteArray::fromHex("01 00 3d1c 0100 00000100");
    QTest::newRow("abort: later") << QByteArray::fromHex("95 3d1c 0100 00000100 00000000") << int(SimDevice::eStateIdle)
                                  << 0 << false << query;
    QTest::newRow("no image") << QByteArray::fromHex("98 3d1c 0100 00000100 00000000") << int(SimDevice::eStateIdle)
                              << 0 << true << query;
    QTest::newRow("offer") << offer(0x010100, 100) << int(SimDevice::eStateTransfer) << 0 << false
                           << QByteArray::fromHex("03 00 3d1c 0100 00010100 00000000 40");
    QTest::newRow("empty offer refused") << offer(0x010100, 0) << int(SimDevice::eStateTransfer) << 0 << false
                                         << QByteArray::fromHex("06 96 3d1c 0100 00010100");
    QTest::newRow("offer for another type")
        << QByteArray::fromHex("00 3d1c 0200 00010100 64000000") << int(SimDevice::eStateIdle) << 1 << false << query;
    QTest::newRow("too short") << QByteArray::fromHex("00 3d1c 0100 000101") << int(SimDevice::eStateIdle) << 1 << false
                               << query;
}

void tst_SimDevice::queryAnswers()
{
    QFETCH(QByteArray, response);
    QFETCH(int, state);
    QFETCH(int, badResponses);
    QFETCH(bool, settled);
    QFETCH(QByteArray, nextRequest);

    QStringList events;
    SimDevice device(deviceConfig(), false, [&events](const QString& _text) { events << _text; });
    device.begin(0, 0);
    SimRequest request;
    QVERIFY(device.takeRequest(0, request));
    device.onResponse(0x02, response, 1000);

    QCOMPARE(int(device.state()), state);
    QCOMPARE(device.stats().badResponses, badResponses);
    QCOMPARE(device.isSettled(), settled);
    // Idle clients ask again one query interval later; a transfer goes on at once.
    const qint64 due = state == SimDevice::eStateIdle ? 1000 + 5000 : 1000;
    QCOMPARE(device.dueMs(), due);
    QVERIFY(device.takeRequest(due, request));
    QCOMPARE(char(request.zclCommand) + request.payload, nextRequest);
    QVERIFY(!events.isEmpty());
    QVERIFY(events.first().startsWith("dev 1a2b "));
}

void tst_SimDevice::transferEndings_data()
{
    QTest::addColumn<bool>("keepOldVersion");
    QTest::addColumn<int>("restartAtOffset");
    QTest::addColumn<int>("silentAtOffset");
    QTest::addColumn<int>("endsAtOffset");     // where the device stops asking for blocks
    QTest::addColumn<quint32>("versionAfter"); // reported after the restart; 0 = silent
    QTest::addColumn<int>("completed");
    QTest::addColumn<int>("interrupted");

    QTest::newRow("complete") << false << -1 << -1 << 100 << 0x010100u << 1 << 0;
    QTest::newRow("keeps old version") << true << -1 << -1 << 100 << 0x010000u << 1 << 0;
    QTest::newRow("restarts in mid-transfer") << false << 50 << -1 << 80 << 0x010000u << 0 << 1;
    QTest::newRow("falls silent in mid-transfer") << false << -1 << 45 << 80 << 0u << 0 << 1;
}

void tst_SimDevice::transferEndings()
{
    QFETCH(bool, keepOldVersion);
    QFETCH(int, restartAtOffset);
    QFETCH(int, silentAtOffset);
    QFETCH(int, endsAtOffset);
    QFETCH(quint32, versionAfter);
    QFETCH(int, completed);
    QFETCH(int, interrupted);

    SimClientConfig config = deviceConfig();
    config.keepOldVersion = keepOldVersion;
    config.restartAtOffset = restartAtOffset;
    config.silentAtOffset = silentAtOffset;
    SimDevice device(config, false, nullptr);
    device.begin(0, 0);
    SimRequest request;
    QVERIFY(device.takeRequest(0, request));
    device.onResponse(0x02, offer(0x010100, 100), 10);

    // The server hands out 40 bytes at most, whatever the client allows.
    const QByteArray data = Publisher::otaImage(1, 0x010100, 100 - 62);
    QCOMPARE(data.size(), 100);
    qint64 t = 10;
    int offset = 0;
    while (device.takeRequest(t, request) && request.zclCommand == 0x03) {
        QCOMPARE(request.payload, QByteArray::fromHex("00 3d1c 0100 00010100") + le32(quint32(offset)) + char(64));
        const QByteArray chunk = data.mid(offset, 40);
        device.onResponse(0x05, block(0x010100, quint32(offset), chunk), ++t);
        offset += chunk.size();
    }
    QCOMPARE(offset, endsAtOffset);
    QCOMPARE(device.stats().transfersCompleted, completed);
    QCOMPARE(device.stats().interrupted, interrupted);

    if (completed == 1) {
        QCOMPARE(request.zclCommand, quint8(0x06));
        QCOMPARE(request.payload, QByteArray::fromHex("00 3d1c 0100 00010100"));
        QCOMPARE(device.lastImageSha256(), QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
        QVERIFY(!device.takeRequest(t, request)); // waits for the Upgrade End Response
        device.onResponse(0x07, QByteArray::fromHex("3d1c 0100 00010100 00000000 00000000"), ++t);
    }
    if (versionAfter == 0) {
        QCOMPARE(device.state(), SimDevice::eStateSilent);
        QCOMPARE(device.dueMs(), -1);
        QVERIFY(device.isSettled());
        return;
    }
    QCOMPARE(device.state(), SimDevice::eStateRestarting);
    QCOMPARE(device.stats().restarts, 1);
    QVERIFY(!device.takeRequest(t + 1999, request));
    QVERIFY(device.takeRequest(t + 2000, request));
    QCOMPARE(request.payload, QByteArray::fromHex("00 3d1c 0100") + le32(versionAfter));
    QCOMPARE(device.versionHistory(), (QList<quint32>{0x010000, versionAfter}));
}

void tst_SimDevice::receivedImageIsChecked_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("endStatus");
    const QByteArray own = Publisher::otaImage(1, 0x010100, 40);
    QTest::newRow("its own image") << own << 0x00;
    QTest::newRow("no OTA header") << image(102) << 0x96;
    QTest::newRow("another manufacturer") << QByteArray(own).replace(10, 2, QByteArray::fromHex("3412")) << 0x96;
    QTest::newRow("another image type") << Publisher::otaImage(2, 0x010100, 40) << 0x96;
    QTest::newRow("another version") << Publisher::otaImage(1, 0x010000, 40) << 0x96;
    QTest::newRow("shorter than the header fields") << own.left(17) << 0x96;
}

void tst_SimDevice::receivedImageIsChecked()
{
    QFETCH(QByteArray, image);
    QFETCH(int, endStatus);
    SimDevice device(deviceConfig(), false, nullptr);
    device.begin(0, 0);
    SimRequest request;
    QVERIFY(device.takeRequest(0, request));
    device.onResponse(0x02, offer(0x010100, quint32(image.size())), 0);
    qint64 t = 0;
    int offset = 0;
    while (device.takeRequest(t, request) && request.zclCommand == 0x03) {
        const QByteArray chunk = image.mid(offset, 40);
        device.onResponse(0x05, block(0x010100, quint32(offset), chunk), ++t);
        offset += chunk.size();
    }
    QCOMPARE(device.images(), QList<QByteArray>{image});
    QCOMPARE(request.zclCommand, quint8(0x06));
    QCOMPARE(request.payload, char(endStatus) + QByteArray::fromHex("3d1c 0100 00010100"));
    device.onResponse(0x07, QByteArray::fromHex("3d1c 0100 00010100 00000000 00000000"), ++t);

    if (endStatus == 0) {
        QCOMPARE(device.state(), SimDevice::eStateRestarting);
        QCOMPARE(device.stats().refused, 0);
        return;
    }
    // A refused image leaves the device on its old version, asking again.
    QCOMPARE(device.stats().refused, 1);
    QCOMPARE(device.stats().restarts, 0);
    QCOMPARE(device.state(), SimDevice::eStateIdle);
    QVERIFY(device.takeRequest(t + 5000, request));
    QCOMPARE(char(request.zclCommand) + request.payload, QByteArray::fromHex("01 00 3d1c 0100 00000100"));
}

void tst_SimDevice::badBlocksAreAskedAgain_data()
{
    QTest::addColumn<QByteArray>("response");
    const QByteArray d40 = image(40);
    QTest::newRow("wrong offset") << block(0x010100, 40, d40);
    QTest::newRow("more than asked for") << block(0x010100, 0, image(65));
    QTest::newRow("no data") << block(0x010100, 0, QByteArray());
    QTest::newRow("data size above the bytes")
        << QByteArray(block(0x010100, 0, d40)).replace(13, 1, QByteArray(1, char(41)));
    QTest::newRow("past the image end") << block(0x010100, 0, image(61));
}

void tst_SimDevice::badBlocksAreAskedAgain()
{
    QFETCH(QByteArray, response);
    SimDevice device(deviceConfig(), false, nullptr);
    device.begin(0, 0);
    SimRequest request;
    QVERIFY(device.takeRequest(0, request));
    device.onResponse(0x02, offer(0x010100, 60), 0);
    QVERIFY(device.takeRequest(0, request));
    const QByteArray first = request.payload;

    device.onResponse(0x05, response, 100);
    QCOMPARE(device.stats().badResponses, 1);
    QCOMPARE(device.stats().retries, 1);
    QCOMPARE(device.receivedBytes(), 0);
    QCOMPARE(device.dueMs(), 400);
    QVERIFY(device.takeRequest(400, request));
    QCOMPARE(request.payload, first);
}

void tst_SimDevice::abortEndsTheTransfer()
{
    SimDevice device(deviceConfig(), false, nullptr);
    device.begin(0, 0);
    SimRequest request;
    QVERIFY(device.takeRequest(0, request));
    device.onResponse(0x02, offer(0x010100, 100), 0);
    QVERIFY(device.takeRequest(0, request));
    device.onResponse(0x05, block(0x010100, 0, image(40)), 1);
    QVERIFY(device.takeRequest(1, request));
    device.onResponse(0x05, QByteArray::fromHex("95 3d1c 0100 00010100 28000000 00"), 2);

    QCOMPARE(device.state(), SimDevice::eStateIdle);
    QCOMPARE(device.stats().aborts, 1);
    QCOMPARE(device.receivedBytes(), 0);
    QVERIFY(device.takeRequest(5002, request));
    QCOMPARE(request.zclCommand, quint8(0x01));
    QCOMPARE(request.payload, QByteArray::fromHex("00 3d1c 0100 00000100"));
}

void tst_SimDevice::unansweredRequestsGiveTheTransferUp()
{
    SimDevice device(deviceConfig(), false, nullptr);
    device.begin(0, 0);
    SimRequest request;
    QVERIFY(device.takeRequest(0, request));
    device.onRequestLost(10); // a lost query waits for the next interval and is no retry
    QCOMPARE(device.dueMs(), 5010);
    QCOMPARE(device.stats().retries, 0);

    QVERIFY(device.takeRequest(5010, request));
    device.onResponse(0x02, offer(0x010100, 100), 5010);
    qint64 t = 5010;
    for (int i = 1; i <= 2; ++i) {
        QVERIFY(device.takeRequest(t, request));
        QCOMPARE(request.zclCommand, quint8(0x03));
        device.onRequestLost(t);
        QCOMPARE(device.stats().retries, i);
        t += 300;
        QCOMPARE(device.dueMs(), t);
    }
    QVERIFY(device.takeRequest(t, request));
    device.onRequestLost(t);
    QCOMPARE(device.stats().givenUp, 1);
    QCOMPARE(device.state(), SimDevice::eStateIdle);
    QCOMPARE(device.dueMs(), t + 5000);
}

QTEST_GUILESS_MAIN(tst_SimDevice)
#include "tst_simdevice.moc"
