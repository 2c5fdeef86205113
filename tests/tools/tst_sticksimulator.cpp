#include <functional>

#include <QtTest>

#include "Publisher.h"
#include "SimLine.h"
#include "StickSimulator.h"
#include "ToolEnd.h"
#include "link/FrameCodec.h"
#include "support/LogCapture.h"

// The simulator on a real pseudo-terminal, with the test at the slave end
// playing a scripted tool: hand-written replies in the published layout.
class tst_StickSimulator : public QObject
{
    Q_OBJECT
private slots:
    void connectIsRepeatedUntilAccepted();
    void unansweredRequestKeepsItsSeqThenConnectsAgain();
    void mismatchedRepliesAreIgnored_data();
    void mismatchedRepliesAreIgnored();
    void replyReachingASilentDeviceIsTaken();
    void servesAnImageInSmallBlocks();
    void stickUpdatesItself();
    void resetToFactoryNewJoinsANewNetwork();
    void frameFaults_data();
    void frameFaults();
    void repeatedSeqComparesTheReplies();
    void networkIdChangeIsReported();
    void linkCutStartsOver();
    void runEnds_data();
    void runEnds();
    void toolClosingTheLineIsSurvived();
    void pacingHoldsTheBaudRate();
    void receivePacingHoldsTheBaudRate();
    void executableRunsAndSummarises();
};

namespace {

constexpr quint16 kDevice = 0x1A2B;

Scenario baseScenario()
{
    Scenario s;
    s.timing.connectIntervalMs = 50;
    s.timing.replyTimeoutMs = 200;
    s.timing.maxRetries = 2;
    s.timing.resetPollMs = 600000;
    s.timing.nwkStatusMs = 600000;
    s.timing.discoveryMs = 100;
    s.stick.client.imageType = 6;
    s.stick.client.version = 0x010000;
    s.stick.client.shortAddress = 0x1234;
    s.stick.client.queryIntervalMs = 600000;
    s.stick.client.restartDelayMs = 200;
    s.stick.channel = 11;
    s.stick.networkId = QByteArray::fromHex("0123456789abcdef");
    return s;
}

SimClientConfig device(int _queryIntervalMs = 100)
{
    SimClientConfig d;
    d.shortAddress = kDevice;
    d.imageType = 1;
    d.version = 0x010000;
    d.endpoint = 11;
    d.queryIntervalMs = _queryIntervalMs;
    d.restartDelayMs = 100;
    d.requestRetryMs = 100;
    return d;
}

QByteArray le32(quint32 _value)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out.append(char((_value >> (8 * i)) & 0xFF));
    return out;
}

bool isIndication(const QByteArray& _body, quint16 _address, quint8 _zclCommand)
{
    return _body.size() >= 23 && _body.at(0) == 0x03 && _body.at(2) == 0x10 &&
           quint8(_body.at(4)) == (_address & 0xFF) && quint8(_body.at(5)) == (_address >> 8) &&
           quint8(_body.at(22)) == _zclCommand;
}

// The reply of the published layout to a command request carrying an
// indication: 04, seq, 10, the reply header built from the indication, then
// the ZCL response.
QByteArray zclReply(const QByteArray& _request, quint8 _responseCommand, const QByteArray& _response)
{
    const QByteArray ind = _request.mid(3, 20);
    QByteArray reply = QByteArray::fromHex("04") + _request.at(1) + char(0x10);
    reply += ind.mid(0, 13) + char(0x10) + ind.at(13) + ind.mid(14, 2) + QByteArray::fromHex("0101");
    reply += char(_responseCommand);
    return reply + _response;
}

// Waits for the first frame that _wanted accepts and answers everything
// routine on the way: network status, reset polls (no reset), the stick's
// own query (nothing for it) and device queries (ask later).
QByteArray waitFor(ToolEnd& _tool, const std::function<bool(const QByteArray&)>& _wanted, int _timeoutMs = 4000)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < _timeoutMs) {
        const QByteArray frame = _tool.next(int(_timeoutMs - timer.elapsed()));
        if (frame.isEmpty())
            break;
        if (_wanted(frame))
            return frame;
        if (frame == QByteArray::fromHex("01"))
            _tool.send(QByteArray::fromHex("02"));
        else if (frame.size() >= 3 && frame.at(0) == 0x03 && frame.at(2) == 0x02)
            _tool.send(QByteArray::fromHex("04") + frame.at(1));
        else if (frame.size() >= 3 && frame.at(0) == 0x03 && frame.at(2) == 0x01)
            _tool.send(QByteArray::fromHex("04") + frame.at(1) + char(0));
        else if (frame.size() >= 32 && frame.at(2) == 0x10 && frame.at(22) == 0x01)
            _tool.send(zclReply(frame, 0x02,
                                QByteArray(1, frame.at(26) == 0x06 ? char(0x98) : char(0x95)) + frame.mid(24, 4) +
                                    frame.mid(28, 4) + le32(0)));
    }
    return QByteArray();
}

// Accepts the connect request and answers the first network status.
bool connectTool(ToolEnd& _tool)
{
    if (_tool.nextStartingWith(QByteArray::fromHex("01")).isEmpty())
        return false;
    _tool.send(QByteArray::fromHex("02"));
    const QByteArray status = _tool.nextStartingWith(QByteArray::fromHex("03"));
    if (status.size() < 3 || status.at(2) != 0x02)
        return false;
    return _tool.send(QByteArray::fromHex("04") + status.at(1));
}

struct Running
{
    explicit Running(const Scenario& _scenario) : sim(_scenario) {}
    bool start()
    {
        QString error;
        return sim.start(error) && tool.open(sim.linePath());
    }
    StickSimulator sim;
    ToolEnd tool;
};

QByteArray testImage(int _size)
{
    QByteArray data;
    for (int i = 0; i < _size; ++i)
        data.append(char(i % 3 == 0 ? 0x7E : (i % 3 == 1 ? 0x7D : i))); // escaping on the way
    return data;
}

// An OTA upgrade image of _size bytes that a client of _type takes as
// _version, its payload full of bytes the line escapes.
QByteArray otaImage(quint16 _type, quint32 _version, int _size)
{
    const int header = Publisher::kOtaHeaderLength + Publisher::kSubElementHeaderLength;
    const QByteArray image = Publisher::otaImage(_type, _version, _size - header);
    return image.left(header) + testImage(_size - header);
}

// Serves _image to the client _address until it sends Upgrade End, in blocks
// of at most 40 bytes; returns the Upgrade End request.
QByteArray serveImage(ToolEnd& _tool, quint16 _address, quint16 _type, quint32 _version, const QByteArray& _image)
{
    int served = 0;
    for (;;) {
        const QByteArray request = waitFor(_tool, [&](const QByteArray& _f) {
            return isIndication(_f, _address, 0x03) || isIndication(_f, _address, 0x06);
        });
        if (!isIndication(request, _address, 0x03))
            return request;
        const QByteArray req = request.mid(23);
        const QByteArray expected = QByteArray::fromHex("00 3d1c") + char(_type & 0xFF) + char(_type >> 8) +
                                    le32(_version) + le32(quint32(served)) + char(64);
        if (req != expected) {
            qWarning("unexpected block request %s", req.toHex(' ').constData());
            return QByteArray();
        }
        const QByteArray data = _image.mid(served, 40);
        _tool.send(zclReply(request, 0x05, QByteArray(1, char(0)) + req.mid(1, 12) + char(data.size()) + data));
        served += data.size();
    }
}

QByteArray upgradeEndResponse(const QByteArray& _endRequest)
{
    return zclReply(_endRequest, 0x07, _endRequest.mid(24, 8) + le32(0) + le32(0));
}

} // namespace

void tst_StickSimulator::connectIsRepeatedUntilAccepted()
{
    Running r(baseScenario());
    QVERIFY(r.start());
    for (int i = 0; i < 3; ++i)
        QCOMPARE(r.tool.next(), QByteArray::fromHex("01"));
    QCOMPARE(r.sim.stickState(), StickSimulator::eStickConnecting);

    QVERIFY(r.tool.send(QByteArray::fromHex("02")));
    r.tool.clearFrames(); // connect requests already on the way
    const QByteArray status = r.tool.nextStartingWith(QByteArray::fromHex("03"));
    // state joined, channel 11, network id, short address 0x1234 little-endian
    QCOMPARE(status, QByteArray::fromHex("03 01 02 03 0b 0123456789abcdef 3412"));
    QVERIFY(r.tool.send(QByteArray::fromHex("04 01")));

    // Next: the stick's own query, with a new sequence number.
    const QByteArray query = r.tool.next();
    QCOMPARE(query.left(3), QByteArray::fromHex("03 02 10"));
    QCOMPARE(query.mid(3), QByteArray::fromHex("02 3412 34120000feca5e02 0401 01 1900 1900 00 01"
                                               "00 3d1c 0600 00000100"));
    QCOMPARE(r.sim.stickState(), StickSimulator::eStickConnected);
    QCOMPARE(r.sim.counters().connects, 1);
}

void tst_StickSimulator::unansweredRequestKeepsItsSeqThenConnectsAgain()
{
    Running r(baseScenario());
    QVERIFY(r.start());
    QVERIFY(!r.tool.nextStartingWith(QByteArray::fromHex("01")).isEmpty());
    QVERIFY(r.tool.send(QByteArray::fromHex("02")));
    const QByteArray status = r.tool.nextStartingWith(QByteArray::fromHex("03"));
    QCOMPARE(status.left(3), QByteArray::fromHex("03 01 02"));

    // maxRetries 2: the same body twice more, then the stick starts over.
    QCOMPARE(r.tool.next(), status);
    QCOMPARE(r.tool.next(), status);
    QCOMPARE(r.tool.next(), QByteArray::fromHex("01"));
    QCOMPARE(r.sim.counters().linkLosses, 1);
    QCOMPARE(r.sim.counters().resends, 2);

    // After the new connect the numbering starts at 1 again.
    QVERIFY(r.tool.send(QByteArray::fromHex("02")));
    QCOMPARE(r.tool.nextStartingWith(QByteArray::fromHex("03")), status);
}

void tst_StickSimulator::mismatchedRepliesAreIgnored_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("other address") << 0;
    QTest::newRow("other response command") << 1;
    QTest::newRow("too short") << 2;
    QTest::newRow("other seq") << 3;
}

void tst_StickSimulator::mismatchedRepliesAreIgnored()
{
    QFETCH(int, fault);
    Scenario scenario = baseScenario();
    scenario.devices << device();
    Running r(scenario);
    QVERIFY(r.start());
    QVERIFY(connectTool(r.tool));

    const QByteArray query = waitFor(r.tool, [](const QByteArray& _f) { return isIndication(_f, kDevice, 0x01); });
    QVERIFY(!query.isEmpty());
    QCOMPARE(query.mid(3, 20), QByteArray::fromHex("02 2b1a 2b1a0000feca5e02 0401 0b 1900 1900 00 01"));
    QByteArray good = zclReply(query, 0x02, QByteArray::fromHex("95 3d1c 0100 00000100 00000000"));
    QByteArray bad = good;
    switch (fault) {
    case 0:
        bad[4] = char(0x2C);
        break;
    case 1:
        bad[22] = char(0x05);
        break;
    case 2:
        bad = good.left(13);
        break;
    default:
        bad[1] = char(bad.at(1) + 1);
    }
    QVERIFY(r.tool.send(bad));
    QCOMPARE(r.tool.next(), query); // repeated unchanged: the bad reply did not count
    QCOMPARE(r.sim.counters().ignoredReplies, 1);
    QCOMPARE(r.sim.device(kDevice)->lastQueryStatus(), -1);

    // Taken; 0x95 means: ask again later, with a new request number.
    QVERIFY(r.tool.send(good));
    const QByteArray again = waitFor(r.tool, [](const QByteArray& _f) { return isIndication(_f, kDevice, 0x01); });
    QVERIFY(!again.isEmpty());
    QVERIFY(again.at(1) != query.at(1));
    QCOMPARE(again.mid(2), query.mid(2));
    QCOMPARE(r.sim.device(kDevice)->lastQueryStatus(), 0x95);
    QCOMPARE(r.sim.device(kDevice)->stats().retries, 1);
    QCOMPARE(r.sim.device(kDevice)->stats().transfersStarted, 0);
}

void tst_StickSimulator::replyReachingASilentDeviceIsTaken()
{
    Scenario scenario = baseScenario();
    scenario.timing.replyTimeoutMs = 5000;
    SimClientConfig d = device();
    d.silentAfterMs = 2500;
    scenario.devices << d;
    Running r(scenario);
    QVERIFY(r.start());
    QVERIFY(connectTool(r.tool));

    const QByteArray query = waitFor(r.tool, [](const QByteArray& _f) { return isIndication(_f, kDevice, 0x01); });
    QVERIFY(!query.isEmpty());
    // The device falls silent while its request is on the way; the stick
    // still takes the reply instead of asking the tool again and again.
    QTRY_COMPARE_WITH_TIMEOUT(r.sim.device(kDevice)->state(), SimDevice::eStateSilent, 4000);
    const int received = r.sim.counters().framesReceived;
    QVERIFY(r.tool.send(zclReply(query, 0x02, QByteArray::fromHex("95 3d1c 0100 00000100 00000000"))));
    QTRY_COMPARE_WITH_TIMEOUT(r.sim.counters().framesReceived, received + 1, 2000);
    QCOMPARE(r.sim.counters().ignoredReplies, 0);
    QCOMPARE(r.sim.counters().resends, 0);
    QCOMPARE(r.sim.device(kDevice)->stats().queries, 1);
}

void tst_StickSimulator::servesAnImageInSmallBlocks()
{
    Scenario scenario = baseScenario();
    scenario.devices << device();
    Running r(scenario);
    QSignalSpy completed(&r.sim, &StickSimulator::imageCompleted);
    QVERIFY(r.start());
    QVERIFY(connectTool(r.tool));

    const QByteArray image = otaImage(1, 0x010100, 150);
    const QByteArray query = waitFor(r.tool, [](const QByteArray& _f) { return isIndication(_f, kDevice, 0x01); });
    QVERIFY(r.tool.send(zclReply(query, 0x02, QByteArray::fromHex("00 3d1c 0100 00010100") + le32(150))));

    const QByteArray end = serveImage(r.tool, kDevice, 1, 0x010100, image);
    QCOMPARE(end.mid(23), QByteArray::fromHex("00 3d1c 0100 00010100"));
    const QByteArray sha = QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex();
    QCOMPARE(r.sim.device(kDevice)->lastImageSha256(), sha);
    QCOMPARE(completed.count(), 1);
    QCOMPARE(completed.first().at(0).value<quint16>(), kDevice);
    QCOMPARE(completed.first().at(1).toByteArray(), sha);

    QVERIFY(r.tool.send(upgradeEndResponse(end)));
    const QByteArray after = waitFor(r.tool, [](const QByteArray& _f) { return isIndication(_f, kDevice, 0x01); });
    QCOMPARE(after.mid(23), QByteArray::fromHex("00 3d1c 0100 00010100")); // reports the new version
    const SimDevice* d = r.sim.device(kDevice);
    QCOMPARE(d->stats().transfersCompleted, 1);
    QCOMPARE(d->stats().restarts, 1);
    QCOMPARE(d->version(), 0x010100u);
    QVERIFY(r.sim.summary().join('\n').contains("dev 1a2b type 1 (ZLL control element): v1.0.0 -> v1.1.0"));
}

void tst_StickSimulator::stickUpdatesItself()
{
    Scenario scenario = baseScenario();
    Running r(scenario);
    QVERIFY(r.start());
    QVERIFY(connectTool(r.tool));

    const QByteArray query = waitFor(r.tool, [](const QByteArray& _f) { return isIndication(_f, 0x1234, 0x01); });
    QCOMPARE(query.mid(23), QByteArray::fromHex("00 3d1c 0600 00000100"));
    const QByteArray image = otaImage(6, 0x010200, 90);
    QVERIFY(r.tool.send(zclReply(query, 0x02, QByteArray::fromHex("00 3d1c 0600 00020100") + le32(90))));
    const QByteArray end = serveImage(r.tool, 0x1234, 6, 0x010200, image);
    QCOMPARE(end.mid(23), QByteArray::fromHex("00 3d1c 0600 00020100"));
    QVERIFY(r.tool.send(upgradeEndResponse(end)));

    // Silent for its restart, then it connects again and asks with its new version.
    QTRY_COMPARE_WITH_TIMEOUT(r.sim.stickState(), StickSimulator::eStickRestarting, 2000);
    r.tool.clearFrames();
    QVERIFY(connectTool(r.tool));
    const QByteArray again = waitFor(r.tool, [](const QByteArray& _f) { return isIndication(_f, 0x1234, 0x01); });
    QCOMPARE(again.mid(23), QByteArray::fromHex("00 3d1c 0600 00020100"));
    QCOMPARE(r.sim.stickClient().stats().restarts, 1);
    QCOMPARE(r.sim.stickClient().lastImageSha256(),
             QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    QCOMPARE(r.sim.counters().connects, 2);
}

void tst_StickSimulator::resetToFactoryNewJoinsANewNetwork()
{
    Scenario scenario = baseScenario();
    scenario.timing.resetPollMs = 150;
    Running r(scenario);
    QVERIFY(r.start());
    QVERIFY(connectTool(r.tool));

    const auto isPoll = [](const QByteArray& _f) { return _f.size() == 3 && _f.at(0) == 0x03 && _f.at(2) == 0x01; };
    const auto isStatus = [](const QByteArray& _f) { return _f.size() == 15 && _f.at(0) == 0x03 && _f.at(2) == 0x02; };
    const QByteArray poll = waitFor(r.tool, isPoll);
    QVERIFY(!poll.isEmpty());
    QVERIFY(r.tool.send(QByteArray::fromHex("04") + poll.at(1) + char(1)));

    const QByteArray discovering = r.tool.nextStartingWith(QByteArray::fromHex("03"));
    QVERIFY(isStatus(discovering));
    QCOMPARE(discovering.at(3), char(1));
    QVERIFY(r.tool.send(QByteArray::fromHex("04") + discovering.at(1)));

    const QByteArray joined = waitFor(r.tool, isStatus);
    QCOMPARE(joined.at(3), char(3));
    QVERIFY(joined.mid(5, 8) != QByteArray::fromHex("0123456789abcdef"));
    QCOMPARE(joined.mid(13), QByteArray::fromHex("3412"));
    QCOMPARE(r.sim.networkState(), quint8(3));
}

void tst_StickSimulator::frameFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("corrupted") << 0;
    QTest::newRow("duplicated") << 1;
    QTest::newRow("accept dropped") << 2;
}

void tst_StickSimulator::frameFaults()
{
    QFETCH(int, fault);
    Scenario scenario = baseScenario();
    (fault == 0   ? scenario.faults.corruptShare
     : fault == 1 ? scenario.faults.duplicateShare
                  : scenario.faults.dropReplyShare) = 1.0;
    Running r(scenario);
    LogCapture log;
    QVERIFY(r.start());
    if (fault == 0) { // every frame fails its CRC at the tool
        QTRY_VERIFY_WITH_TIMEOUT(log.lines().filter("skip frame due to wrong crc").size() >= 3, 3000);
        QCOMPARE(r.tool.pendingFrames(), 0);
        QCOMPARE(r.sim.counters().corrupted, r.sim.counters().framesSent);
        return;
    }
    QCOMPARE(r.tool.next(), QByteArray::fromHex("01"));
    QVERIFY(r.tool.send(QByteArray::fromHex("02")));
    if (fault == 1) { // the first request arrives twice with the same number
        const QByteArray status = r.tool.nextStartingWith(QByteArray::fromHex("03"));
        QCOMPARE(status.left(3), QByteArray::fromHex("03 01 02"));
        QCOMPARE(r.tool.next(), status);
        QCOMPARE(r.sim.counters().duplicated, r.sim.counters().framesSent);
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(r.sim.counters().droppedReplies >= 1, 2000);
    r.tool.clearFrames();
    QCOMPARE(r.tool.next(), QByteArray::fromHex("01")); // still asking to connect
    QCOMPARE(r.sim.stickState(), StickSimulator::eStickConnecting);
}

void tst_StickSimulator::networkIdChangeIsReported()
{
    Scenario scenario = baseScenario();
    scenario.faults.networkIdChangeAtMs = 300;
    Running r(scenario);
    QVERIFY(r.start());
    QVERIFY(connectTool(r.tool));
    const QByteArray status = waitFor(r.tool, [](const QByteArray& _f) { return _f.size() == 15 && _f.at(2) == 2; });
    QCOMPARE(status.mid(3, 2), QByteArray::fromHex("03 0b"));
    QVERIFY(status.mid(5, 8) != QByteArray::fromHex("0123456789abcdef"));
    QCOMPARE(status.mid(5, 8), r.sim.networkId());
}

void tst_StickSimulator::repeatedSeqComparesTheReplies()
{
    Scenario scenario = baseScenario();
    scenario.faults.repeatSeqShare = 1.0;
    Running r(scenario);
    QVERIFY(r.start());
    QVERIFY(!r.tool.nextStartingWith(QByteArray::fromHex("01")).isEmpty());
    QVERIFY(r.tool.send(QByteArray::fromHex("02")));
    const QByteArray status = r.tool.nextStartingWith(QByteArray::fromHex("03"));
    QVERIFY(r.tool.send(QByteArray::fromHex("04 01")));
    QCOMPARE(r.tool.next(), status); // the same request again after its reply
    QVERIFY(r.tool.send(QByteArray::fromHex("04 01")));

    const QByteArray query = r.tool.next();
    QCOMPARE(query.left(3), QByteArray::fromHex("03 02 10"));
    QVERIFY(r.tool.send(zclReply(query, 0x02, QByteArray::fromHex("98 3d1c 0600 00000100 00000000"))));
    QCOMPARE(r.tool.next(), query);
    QVERIFY(r.tool.send(zclReply(query, 0x02, QByteArray::fromHex("95 3d1c 0600 00000100 00000000"))));
    QTRY_COMPARE_WITH_TIMEOUT(r.sim.counters().repeatedRepliesDiffering, 1, 2000);
    QCOMPARE(r.sim.counters().repeatedSeqs, 2);
    QCOMPARE(r.sim.stickClient().lastQueryStatus(), 0x98); // the repetition's reply is only compared
}

void tst_StickSimulator::linkCutStartsOver()
{
    Scenario scenario = baseScenario();
    scenario.faults.linkCuts << SimLinkCut{300, 400};
    Running r(scenario);
    QVERIFY(r.start());
    QVERIFY(connectTool(r.tool));
    QTRY_COMPARE_WITH_TIMEOUT(r.sim.stickState(), StickSimulator::eStickLinkCut, 2000);
    const int receivedBefore = r.sim.counters().framesReceived;
    QVERIFY(r.tool.send(QByteArray::fromHex("02"))); // thrown away by the cut line

    QCOMPARE(r.tool.nextStartingWith(QByteArray::fromHex("01")), QByteArray::fromHex("01"));
    QCOMPARE(r.sim.stickState(), StickSimulator::eStickConnecting);
    QCOMPARE(r.sim.counters().connects, 1);
    QCOMPARE(r.sim.counters().framesReceived, receivedBefore);
    QVERIFY(connectTool(r.tool));
    QCOMPARE(r.sim.counters().connects, 2);
    QCOMPARE(r.sim.events().filter("link restored").size(), 1);
}

void tst_StickSimulator::runEnds_data()
{
    QTest::addColumn<bool>("whenNoImage"); // else: after the run time
    QTest::newRow("nothing left for anyone") << true;
    QTest::newRow("run time over") << false;
}

void tst_StickSimulator::runEnds()
{
    QFETCH(bool, whenNoImage);
    Scenario scenario = baseScenario();
    scenario.devices << device();
    scenario.stopWhenNoImage = whenNoImage;
    Running r(scenario);
    if (!whenNoImage)
        r.sim.setStopAfterMs(700);
    QSignalSpy finished(&r.sim, &StickSimulator::finished);
    QVERIFY(r.start());
    QVERIFY(connectTool(r.tool));

    if (whenNoImage) {
        const auto isQuery = [](const QByteArray& _f) { return isIndication(_f, kDevice, 0x01); };
        const QByteArray query = waitFor(r.tool, isQuery);
        QVERIFY(!query.isEmpty());
        QCOMPARE(finished.count(), 0); // the stick was told "nothing", the device not yet
        QVERIFY(r.tool.send(zclReply(query, 0x02, QByteArray(1, char(0x98)) + query.mid(24, 8) + le32(0))));
    }
    QVERIFY(finished.wait(3000));
    QVERIFY(!r.sim.isRunning());
    QCOMPARE(r.sim.stickState(), StickSimulator::eStickStopped);
    QCOMPARE(finished.count(), 1);

    // Stopped means quiet: nothing more on the line.
    r.tool.clearFrames();
    QVERIFY(r.tool.next(400).isEmpty());
}

void tst_StickSimulator::toolClosingTheLineIsSurvived()
{
    Running r(baseScenario());
    QVERIFY(r.start());
    QVERIFY(connectTool(r.tool));
    r.tool.close();
    QTRY_VERIFY_WITH_TIMEOUT(r.sim.line().isPeerClosed(), 2000);

    // Reopened, the line works again; the unanswered stick has started over.
    QVERIFY(r.tool.open(r.sim.linePath()));
    QTRY_VERIFY_WITH_TIMEOUT(!r.sim.line().isPeerClosed(), 2000);
    QVERIFY(!r.tool.nextStartingWith(QByteArray::fromHex("01")).isEmpty());
    QVERIFY(connectTool(r.tool));
    QVERIFY(r.sim.events().filter("tool closed the line").size() == 1);
    QVERIFY(r.sim.isRunning());
}

void tst_StickSimulator::pacingHoldsTheBaudRate()
{
    SimLine line;
    QString error;
    QVERIFY2(line.openPty(error), qPrintable(error));
    ToolEnd tool;
    QVERIFY(line.isPeerClosed()); // nobody has opened the slave yet
    QVERIFY(tool.open(line.peerPath()));
    QTRY_VERIFY_WITH_TIMEOUT(!line.isPeerClosed(), 2000);
    line.setBaud(1000); // 100 bytes per second

    const QByteArray body = testImage(50);
    const QByteArray wire = FrameCodec::encode(body);
    QElapsedTimer clock;
    clock.start();
    int overruns = 0;
    connect(&tool, &ToolEnd::bytesArrived, this, [&] {
        // Never more than the rate allows since the write began (plus the first byte).
        if (tool.bytesReceived() > clock.elapsed() / 10 + 2)
            ++overruns;
    });
    line.write(wire);
    QCOMPARE(tool.next(5000), body);
    QCOMPARE(tool.bytesReceived(), qint64(wire.size()));
    QCOMPARE(overruns, 0);
    QCOMPARE(line.bytesWritten(), qint64(wire.size()));
}

void tst_StickSimulator::receivePacingHoldsTheBaudRate()
{
    SimLine line;
    QString error;
    QVERIFY2(line.openPty(error), qPrintable(error));
    ToolEnd tool;
    QVERIFY(tool.open(line.peerPath()));
    QTRY_VERIFY_WITH_TIMEOUT(!line.isPeerClosed(), 2000);
    line.setRxBaud(1000); // 100 bytes per second

    QByteArray received;
    QElapsedTimer clock;
    int overruns = 0;
    qint64 lastMs = 0;
    connect(&line, &SimLine::received, this, [&](const QByteArray& _bytes) {
        received += _bytes;
        lastMs = clock.elapsed();
        // A byte is passed on once its ten milliseconds are over, not before.
        if (received.size() > lastMs / 10)
            ++overruns;
    });
    const QByteArray first = testImage(30);
    clock.start();
    QVERIFY(tool.sendRaw(first));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), first.size(), 5000);
    QCOMPARE(received, first);
    QCOMPARE(overruns, 0);
    QVERIFY2(lastMs >= 300, qPrintable(QString::number(lastMs)));
    QCOMPARE(line.bytesReceived(), qint64(first.size()));
    QCOMPARE(line.pendingReceived(), 0);

    // Bytes that arrive while the line is busy queue behind those before them.
    received.clear();
    overruns = 0;
    clock.restart();
    QVERIFY(tool.sendRaw(first.left(10)));
    QVERIFY(tool.sendRaw(first.mid(10, 10)));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 20, 5000);
    QCOMPARE(received, first.left(20));
    QCOMPARE(overruns, 0);
    QVERIFY2(lastMs >= 200, qPrintable(QString::number(lastMs)));

    // Discarding drops what still waits.
    QVERIFY(tool.sendRaw(first));
    QTRY_VERIFY_WITH_TIMEOUT(line.pendingReceived() > 0, 2000);
    line.setDiscarding(true);
    QCOMPARE(line.pendingReceived(), 0);
}

void tst_StickSimulator::executableRunsAndSummarises()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString scenarioPath = dir.filePath("net.json");
    QFile file(scenarioPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"timing": {"connectIntervalMs": 50},
                  "stick": {"version": "1.0.0"},
                  "devices": [{"shortAddress": "0x1a2b", "type": 2, "version": "1.2.3"}]})");
    file.close();
    const QString linkPath = dir.filePath("stick");

    QProcess process;
    process.start(STICKSIM_PATH, {"--link", linkPath, scenarioPath});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine(), 5000);
    const QString first = QString::fromLocal8Bit(process.readLine()).trimmed();
    QVERIFY2(first.startsWith("PTY /dev/"), qPrintable(first));
    const QString ptyPath = first.mid(4);
    QCOMPARE(QFileInfo(linkPath).symLinkTarget(), ptyPath);

    ToolEnd tool;
    QVERIFY(tool.open(linkPath));
    QCOMPARE(tool.nextStartingWith(QByteArray::fromHex("01")), QByteArray::fromHex("01"));
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    QVERIFY2(out.contains(" stick connect request #1\n"), qPrintable(out));
    QVERIFY2(out.contains("\nsummary after "), qPrintable(out));
    QVERIFY2(out.contains("\ndev 1a2b type 2 (ZLL wall-mounted transmitter): v1.2.3 -> v1.2.3"), qPrintable(out));
    QVERIFY(!QFileInfo(linkPath).isSymLink()); // removed at exit
}

QTEST_GUILESS_MAIN(tst_StickSimulator)
#include "tst_sticksimulator.moc"
