#include <QtTest>

#include "EndToEndRig.h"
#include "StickSimulator.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"
#include "support/E2eTimings.h"

using namespace E2eTimings;

namespace {
constexpr int kLinkCutMs = 10000;
// The fault strikes once a transfer is this far in.
constexpr quint32 kStrikeAtOffset = 1000;

enum Strike_t
{
    StrikeNone,
    StrikeCutLink,      // the line goes dead for kLinkCutMs
    StrikeRestartStick, // the stick restarts and connects again
};

// What a broken stick does to the line.
enum Hostile_t
{
    HostileOpenFrame, // an opening delimiter, then bytes without end
    HostileBadFrame,  // one huge frame with a bad CRC
    HostileUnplugged, // pulled out: the tool's port fails on every call
    HostileDeaf,      // reads nothing and repeats one request as fast as the line takes it
};
// At the speed of USB serial a broken stick sends this in seconds.
constexpr qint64 kRubbishBytes = 32 * 1024 * 1024;
constexpr int kRubbishMs = 60000;
constexpr int kUnpluggedMs = 4000;
// Well within the 6 s link watchdog: the port is closed because of its errors.
constexpr int kErrorCloseMs = 2000;
// What the tool may gain in resident memory meanwhile: the heap's own moves.
constexpr qint64 kResidentSlackKb = 6 * 1024;
// The link's and the stick's usual lines over the unplugged time and the
// reconnect; a line per error would be hundreds of thousands.
constexpr int kMaxLogLinesUnplugged = 500;
// Longer than the tool needs to fill the line, reach its output cap and wait
// out the watchdog's period without a byte taken.
constexpr int kDeafMs = 12000;

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 without one.
qint64 statusKb(const QByteArray& _field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(_field + ':'))
            return line.mid(_field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets the peak (VmHWM) to the current resident size; false where the kernel does not allow it.
bool resetPeakResident()
{
    QFile clearRefs("/proc/self/clear_refs");
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

#if defined(__SANITIZE_ADDRESS__)
// Freed blocks wait in the sanitizer's quarantine: memory grows with the bytes passed through.
constexpr bool kResidentMeaningful = false;
#else
constexpr bool kResidentMeaningful = true;
#endif
} // namespace

Q_DECLARE_METATYPE(Strike_t)
Q_DECLARE_METATYPE(Hostile_t)

// A device update run over a faulty line to the stick: the tool recovers
// each time, every device ends with the offered version, and every image a
// device received is a file signed with the development key.
class tst_LinkFaults : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyDeviceUpdatedDespite_data();
    void everyDeviceUpdatedDespite();
    void brokenStickLeavesToolUsable_data();
    void brokenStickLeavesToolUsable();

private:
    std::unique_ptr<EndToEndRig> m_rig;
};

void tst_LinkFaults::init()
{
    START_END_TO_END_RIG(m_rig);
}

void tst_LinkFaults::cleanup()
{
    m_rig.reset();
}

void tst_LinkFaults::everyDeviceUpdatedDespite_data()
{
    QTest::addColumn<QJsonObject>("faults");
    QTest::addColumn<Strike_t>("strike");
    QTest::addColumn<QString>("counter"); // the simulator's count of the injected fault
    QTest::addColumn<QString>("logLine"); // what the tool logs when it meets the fault, if anything

    QTest::newRow("5 % of frames corrupted") << QJsonObject{{"corruptShare", 0.05}} << StrikeNone << "corrupted"
                                             << "skip frame due to wrong crc";
    // A repeated request is answered with the stored reply, without a log line.
    QTest::newRow("frames duplicated") << QJsonObject{{"duplicateShare", 0.05}} << StrikeNone << "duplicated"
                                       << QString();
    QTest::newRow("replies dropped") << QJsonObject{{"dropReplyShare", 0.05}} << StrikeNone << "droppedReplies"
                                     << QString();
    // Longer than the tool's 6 s link watchdog.
    QTest::newRow("link cut for 10 s in mid-transfer") << QJsonObject() << StrikeCutLink << "reconnects"
                                                       << "m_eState 1";
    QTest::newRow("stick restarts in mid-transfer") << QJsonObject() << StrikeRestartStick << "reconnects"
                                                    << "ConnectRequest found";
}

void tst_LinkFaults::everyDeviceUpdatedDespite()
{
    QFETCH(QJsonObject, faults);
    QFETCH(Strike_t, strike);
    QFETCH(QString, counter);
    QFETCH(QString, logLine);

    EndToEndRig& rig = *m_rig;
    for (quint16 type : {1, 2, 4})
        QVERIFY2(rig.hold({type, "1.0.0", 2500}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{1, "1.1.0", 3000}, {2, "1.0.7", 2200}, {4, "2.0.0", 4500}}), qPrintable(rig.error()));
    const QJsonArray devices{EndToEndRig::device(0x1a2b, 1, "1.0.0"), EndToEndRig::device(0x3e4f, 2, "1.0.0"),
                             EndToEndRig::device(0x4a5b, 4, "1.0.0")};
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario(devices, faults)), qPrintable(rig.error()));
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    StickInterface* stick = bridge->stickInterface();
    ZigBeeDeviceModel* model = bridge->deviceModel();
    StickSimulator* sim = rig.simulator();

    QVERIFY2(rig.downloadOffered(kConnectMs, kDownloadMs), qPrintable(rig.error()));
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), devices.size(), kConnectMs);

    bool struck = false;
    // Ends with this function, before what the watcher uses.
    QObject watchers;
    if (strike != StrikeNone) {
        connect(stick, &StickInterface::frameSent, &watchers, [&] {
            const EndToEndRig::WireReply& last = rig.wire().last();
            if (struck || last.responseId != EndToEndRig::kBlockResponse || last.offset < kStrikeAtOffset)
                return;
            struck = true;
            if (strike == StrikeCutLink)
                sim->cutLink(kLinkCutMs);
            else
                sim->restartNow();
        });
    }
    bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);

    QTRY_VERIFY_WITH_TIMEOUT(rig.allDevicesSucceeded(devices), kFaultyRunMs);

    for (const QJsonValue& value : devices) {
        const quint16 address = value["shortAddress"].toString().toUShort(nullptr, 16);
        const quint16 type = quint16(value["type"].toInt());
        QCOMPARE(model->findDevice(address)->m_version, rig.offeredVersion(type));
        QCOMPARE(sim->device(address)->version(), rig.offeredVersion(type));
        int images = 0;
        QString why;
        QVERIFY2(rig.imagesMatchServed(address, &images, &why), qPrintable(why));
        QVERIFY(images >= 1);
    }
    int images = 0;
    QString why;
    QVERIFY2(rig.everyImageSigned(&images, &why), qPrintable(why));
    QVERIFY(images >= devices.size());

    // The fault did strike, the tool saw it, and it ended connected.
    const StickSimulator::Counters& counters = sim->counters();
    const QHash<QString, int> injected{{"corrupted", counters.corrupted},
                                       {"duplicated", counters.duplicated},
                                       {"droppedReplies", counters.droppedReplies},
                                       {"reconnects", counters.connects - 1}};
    QVERIFY2(injected.value(counter) > 0, qPrintable(counter));
    QVERIFY(strike == StrikeNone || struck);
    QVERIFY2(logLine.isEmpty() || rig.logContains(logLine), qPrintable(logLine));
    QCOMPARE(counters.repeatedRepliesDiffering, 0);
    QCOMPARE(stick->linkState(), 1);

    // And it stays usable: the run can be ended.
    bridge->qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QVERIFY(bridge->boGetVal(CProg2Gui::DeviceUpdateButton_ValId));
}

void tst_LinkFaults::brokenStickLeavesToolUsable_data()
{
    QTest::addColumn<Hostile_t>("hostile");
    QTest::newRow("endless open frame") << HostileOpenFrame;
    QTest::newRow("huge frame with a bad CRC") << HostileBadFrame;
    QTest::newRow("unplugged: errors on every call") << HostileUnplugged;
    QTest::newRow("deaf: asks and asks, reads nothing") << HostileDeaf;
}

// Whatever the stick does to the line, the tool's memory stays flat, and once
// the stick behaves again its requests are answered.
void tst_LinkFaults::brokenStickLeavesToolUsable()
{
    QFETCH(Hostile_t, hostile);

    EndToEndRig& rig = *m_rig;
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario(QJsonArray())), qPrintable(rig.error()));
    rig.startTool();
    StickInterface* stick = rig.bridge()->stickInterface();
    const CSerialPortHandler& port = stick->serialPortHandler();
    StickSimulator* sim = rig.simulator();
    QTRY_VERIFY_WITH_TIMEOUT(rig.isStickJoined(), kConnectMs);

    QObject watchers; // ends with this function, before what the watchers use
    QList<int> states;
    connect(&port, &CSerialPortHandler::stateChanged, &watchers, [&] { states << port.state(); });
    const qint64 residentBefore = statusKb("VmRSS");
    qint64 peak = residentBefore;
    const bool peakFromKernel = resetPeakResident();
    qint64 peakPending = 0;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, &watchers, [&] {
        peak = qMax(peak, statusKb("VmRSS"));
        peakPending = qMax(peakPending, port.pendingOutput());
    });
    sampler.start(20);
    const int logLinesBefore = rig.logLineCount();
    const StickSimulator::Counters before = sim->counters();

    if (hostile == HostileUnplugged) {
        sim->unplug(kUnpluggedMs);
        QTRY_VERIFY_WITH_TIMEOUT(!port.isPortOpen(), kErrorCloseMs);
        QCOMPARE(states, (QList<int>{CSerialPortHandler::eStateConnectionLost, CSerialPortHandler::eStateSearching}));
        // Plugged in again on a new line, it is found by the search.
        QTRY_VERIFY_WITH_TIMEOUT(sim->stickState() == StickSimulator::eStickConnecting, 2 * kUnpluggedMs);
        rig.pinLine();
        QTRY_VERIFY_WITH_TIMEOUT(rig.isStickJoined(), kConnectMs);
        QCOMPARE(port.currentPortName(), sim->linePath());
        const int logLines = rig.logLineCount() - logLinesBefore;
        QVERIFY2(logLines < kMaxLogLinesUnplugged, qPrintable(QString::number(logLines)));
    } else if (hostile == HostileDeaf) {
        sim->beDeaf(kDeafMs);
        // The bytes it sends keep the link watchdog fed; what waits to be
        // written stays below the cap, and once nothing is taken for the
        // watchdog's period the port is closed and searched for again.
        QTRY_VERIFY_WITH_TIMEOUT(states.size() >= 2, kDeafMs);
        QCOMPARE(states.mid(0, 2),
                 (QList<int>{CSerialPortHandler::eStateConnectionLost, CSerialPortHandler::eStateSearching}));
        QVERIFY(sim->stickState() == StickSimulator::eStickDeaf);
        QVERIFY2(sim->counters().deafRepeats > 10000, qPrintable(QString::number(sim->counters().deafRepeats)));
        QVERIFY2(peakPending <= CSerialPortHandler::kMaxPendingOutput, qPrintable(QString::number(peakPending)));
        // Hearing again, it restarts and is joined again.
        QTRY_VERIFY_WITH_TIMEOUT(rig.isStickJoined(), kDeafMs + kConnectMs);
        QCOMPARE(sim->counters().connects, before.connects + 1);
    } else {
        const qint64 written = sim->line().bytesWritten();
        const QByteArray delimiter(1, char(0x7E));
        QSignalSpy sent(sim, &StickSimulator::rubbishSent);
        sim->sendRubbish(delimiter, kRubbishBytes, hostile == HostileBadFrame ? delimiter : QByteArray());
        // In the event loop: a wait that sleeps between its looks would hold the line back.
        QVERIFY(sent.wait(kRubbishMs));
        QVERIFY(sim->line().bytesWritten() - written > kRubbishBytes);
        // The bytes kept the link alive; nothing had to start again.
        QVERIFY2(states.isEmpty(), qPrintable(QString::number(states.size())));
        QCOMPARE(sim->counters().connects, before.connects);
    }

    // The next requests are answered.
    const int framesReceived = sim->counters().framesReceived;
    QTRY_VERIFY_WITH_TIMEOUT(sim->counters().framesReceived >= framesReceived + 2, kConnectMs);
    QCOMPARE(sim->counters().linkLosses, before.linkLosses);
    QCOMPARE(stick->linkState(), int(CSerialPortHandler::eStateConnected));

    sampler.stop();
    if (!kResidentMeaningful)
        return;
    const qint64 residentAfter = statusKb("VmRSS");
    if (peakFromKernel)
        peak = qMax(peak, statusKb("VmHWM"));
    const QString figures =
        QString("resident %1 kB before, %2 kB after, peak %3 kB").arg(residentBefore).arg(residentAfter).arg(peak);
    QVERIFY2(residentBefore > 0, "no VmRSS in /proc/self/status");
    QVERIFY2(residentAfter - residentBefore < kResidentSlackKb, qPrintable(figures));
    QVERIFY2(peak - residentBefore < kResidentSlackKb, qPrintable(figures));
    if (qEnvironmentVariableIsSet("LUMORAN_E2E_VERBOSE"))
        qInfo("%s", qPrintable(figures));
}

QTEST_GUILESS_MAIN(tst_LinkFaults)
#include "tst_linkfaults.moc"
