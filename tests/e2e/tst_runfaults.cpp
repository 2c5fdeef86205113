#include <algorithm>

#include <QtTest>

#include "EndToEndRig.h"
#include "Publisher.h"
#include "StickSimulator.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "support/E2eTimings.h"
#include "support/StickFrames.h"
#include "support/TestFiles.h"

using namespace E2eTimings;

namespace {
constexpr int kSettleMs = 10000;
// Longer than the tool's 6 s link watchdog.
constexpr int kLinkCutMs = 8000;

// What a device ends with, in the tool's list and on the simulated device.
struct Outcome
{
    quint16 address = 0;
    ProgressHelper::_eResult_t result = ProgressHelper::eResultSuccess;
    int failCounter = 0;
    QString version;          // the version the device runs in the end
    int transfersStarted = 1; // offers the device took
    int images = 1;           // complete images received, each the served file
    int clientState = -1;     // the tool's client state, -1: not checked
};
} // namespace

Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(QList<Outcome>)

// Device update runs that meet a fault: each ends in the outcome the tool's
// rules give, and the rest of the run still succeeds.
class tst_RunFaults : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void runMeetsFault_data();
    void runMeetsFault();

private:
    static void addDeviceFaultRows();
    static void addLineAndFileFaultRows();
    // The files held and offered, the simulated network, the tool started,
    // every offered file downloaded and every device listed.
    void startTool(const QJsonArray& _devices, const QJsonObject& _faults, const QJsonObject& _timing);
    // The held file of the type replaced by an image whose OTA header fits
    // its row, without its signature.
    void swapHeldFile(quint16 _devType);
    // At the device's answer before the run, the fault of _midTransfer, and
    // the run started at once.
    void strikeBeforeRun(QObject& _watchers, const QString& _midTransfer, bool& _struck);
    // Once _address's transfer is under way: the line cut, or the stick in
    // another network.
    void strikeMidTransfer(QObject& _watchers, const QString& _midTransfer, quint16 _address, bool& _struck);
    void waitForOutcomes(const QList<Outcome>& _outcomes);
    void checkOutcomes(const QList<Outcome>& _outcomes, const QString& _midTransfer, const QString& _logLine);
    void checkLine(const QJsonObject& _faults, int _connects, const QString& _midTransfer, bool _struck,
                   const QList<int>& _linkStates);
    // The run left to end by itself, cancelled, and its report.
    void checkRunEnd(const QList<Outcome>& _outcomes, const QString& _midTransfer);

    std::unique_ptr<EndToEndRig> m_rig;
};

void tst_RunFaults::init()
{
    START_END_TO_END_RIG(m_rig);
}

void tst_RunFaults::cleanup()
{
    m_rig.reset();
}

void tst_RunFaults::runMeetsFault_data()
{
    QTest::addColumn<QJsonArray>("devices");
    QTest::addColumn<QJsonObject>("faults");
    QTest::addColumn<QJsonObject>("timing");
    // Once the transfer of the first device of the outcomes is a third
    // through: "cut" the line, or the stick finds itself in another "network". Or, at a device's answer before the
    // run, after which the run starts at once: it runs a "newer" version
    // than the one offered, or names an "other type" in its queries (the
    // device's address follows the word). Or, right before the run, the file
    // held for a type is swapped ("swap held" and the type) for an image
    // whose OTA header fits its row, unsigned.
    QTest::addColumn<QString>("midTransfer");
    QTest::addColumn<QList<Outcome>>("outcomes");
    QTest::addColumn<int>("connects"); // how often the stick connected
    QTest::addColumn<QString>("logLine");

    addDeviceFaultRows();
    addLineAndFileFaultRows();
}

namespace {
const Outcome kPlugUpdated{0x4a5b, ProgressHelper::eResultSuccess, 0, "2.0.0"};
const Outcome kWallUpdated{0x3e4f, ProgressHelper::eResultSuccess, 0, "1.0.7"};
} // namespace

// A device that breaks off, refuses, keeps its version or changes in the run.
void tst_RunFaults::addDeviceFaultRows()
{
    using D = EndToEndRig;
    const Outcome& plug = kPlugUpdated;
    const Outcome& wall = kWallUpdated;
    QTest::newRow("restart in mid-transfer is retried")
        << QJsonArray{D::device(0x1a2b, 1, "1.0.0", {{"restartAtOffset", 1500}}), D::device(0x4a5b, 4, "1.0.0")}
        << QJsonObject() << QJsonObject() << QString()
        << QList<Outcome>{{0x1a2b, ProgressHelper::eResultSuccess, 1, "1.1.0", 2, 1}, plug} << 1
        << "RE-starting update shortAddr 1a2b";
    QTest::newRow("old version after the upgrade, given up after three")
        << QJsonArray{D::device(0x2c3d, 1, "1.0.0", {{"keepOldVersion", true}}), D::device(0x4a5b, 4, "1.0.0")}
        << QJsonObject() << QJsonObject() << QString()
        << QList<Outcome>{{0x2c3d, ProgressHelper::eResultVerifFail, 3, "1.0.0", 3, 3}, plug} << 1
        << "eClientStateCheckWriteData ShortAddress 2c3d, FailCounter 3: Result eResultVerifFail";
    QTest::newRow("silent in mid-transfer times out")
        << QJsonArray{D::device(0x1a2b, 1, "1.0.0", {{"silentAtOffset", 1500}}), D::device(0x4a5b, 4, "1.0.0")}
        << QJsonObject() << QJsonObject() << QString()
        << QList<Outcome>{{0x1a2b, ProgressHelper::eResultTimeout, 1, "1.0.0", 1, 0,
                           ZigBeeDevice::eClientStateNoActivity},
                          plug}
        << 1 << "no activity 1a2b - was in update list";
    // Each complete image is refused (0x96 invalid image): three failed
    // attempts, and the run still ends for the others.
    QTest::newRow("image refused at the end")
        << QJsonArray{D::device(0x2c3d, 1, "1.0.0", {{"endStatus", 0x96}}), D::device(0x4a5b, 4, "1.0.0")}
        << QJsonObject() << QJsonObject() << QString()
        << QList<Outcome>{{0x2c3d, ProgressHelper::eResultVerifFail, 3, "1.0.0", 3, 3}, plug} << 1 << QString();
    // Offered its own image, it asks for the wall transmitter's: refused each
    // time, given up after three, and never sent a byte of another image.
    QTest::newRow("blocks of another type's image")
        << QJsonArray{D::device(0x1a2b, 1, "1.0.0", {{"blockImageType", 2}}), D::device(0x3e4f, 2, "1.0.0"),
                      D::device(0x4a5b, 4, "1.0.0")}
        << QJsonObject() << QJsonObject() << QString()
        << QList<Outcome>{{0x1a2b, ProgressHelper::eResultVerifFail, 3, "1.0.0", 3, 0}, wall, plug} << 1 << QString();
    // First seen at 1.0.0, it runs 2.0.0 by the time it asks in the run: it
    // is offered nothing older, receives nothing, and its row tells 2.0.0.
    QTest::newRow("reports a newer version in the run")
        << QJsonArray{D::device(0x1a2b, 1, "1.0.0"), D::device(0x3e4f, 2, "1.0.0"), D::device(0x4a5b, 4, "1.0.0")}
        << QJsonObject() << QJsonObject() << QString("newer 1a2b")
        << QList<Outcome>{{0x1a2b, ProgressHelper::eResultUnknown, 0, "2.0.0", 0, 0}, wall, plug} << 1 << QString();
    // A wall transmitter with an update that names another image type is
    // given up after three such requests; the others go on and the run ends.
    QTest::newRow("a wall transmitter asks for another image type")
        << QJsonArray{D::device(0x1a2b, 1, "1.0.0"), D::device(0x3e4f, 2, "1.0.0"), D::device(0x4a5b, 4, "1.0.0")}
        << QJsonObject() << QJsonObject() << QString("other type 3e4f")
        << QList<Outcome>{{0x1a2b, ProgressHelper::eResultSuccess, 0, "1.1.0"},
                          {0x3e4f, ProgressHelper::eResultFail, 3, "1.0.0", 0, 0},
                          plug}
        << 1 << QString();
}

// The line to the stick, the stick's network or a held file fails the run.
void tst_RunFaults::addLineAndFileFaultRows()
{
    using D = EndToEndRig;
    const Outcome& plug = kPlugUpdated;
    const Outcome& wall = kWallUpdated;
    // The device in transfer asks again for longer than the cut lasts, so its
    // transfer goes on where it broke off.
    QTest::newRow("cut link found by the watchdog")
        << QJsonArray{D::device(0x1a2b, 1, "1.0.0"), D::device(0x4a5b, 4, "1.0.0")} << QJsonObject()
        << QJsonObject{{"requestRetryMs", 1000}, {"requestMaxRetries", 30}} << QString("cut")
        << QList<Outcome>{{0x1a2b, ProgressHelper::eResultSuccess, 0, "1.1.0"}, plug} << 2 << "m_eState 1";
    QTest::newRow("noisy line") << QJsonArray{D::device(0x1a2b, 1, "1.0.0"), D::device(0x3e4f, 2, "1.0.0"),
                                              D::device(0x4a5b, 4, "1.0.0")}
                                << QJsonObject{{"corruptShare", 0.05},
                                               {"duplicateShare", 0.03},
                                               {"repeatSeqShare", 0.03},
                                               {"dropReplyShare", 0.03}}
                                << QJsonObject() << QString()
                                << QList<Outcome>{{0x1a2b, ProgressHelper::eResultSuccess, 0, "1.1.0"}, wall, plug} << 1
                                << "skip frame due to wrong crc";
    // Swapped after its download: the file is not the one on record, so it is
    // not offered; the device is given up at once and receives nothing.
    QTest::newRow("held file swapped for an unsigned image")
        << QJsonArray{D::device(0x1a2b, 1, "1.0.0"), D::device(0x4a5b, 4, "1.0.0")} << QJsonObject() << QJsonObject()
        << QString("swap held 1")
        << QList<Outcome>{{0x1a2b, ProgressHelper::eResultMissingFile, 3, "1.0.0", 0, 0}, plug} << 1 << QString();
    // The devices of the old network leave the update list with their rows;
    // found again in the new one, they are updated. The wall transmitter goes
    // first in either network, so the network changes before the plug's turn.
    QTest::newRow("another network in mid-transfer")
        << QJsonArray{D::device(0x3e4f, 2, "1.0.0"), D::device(0x4a5b, 4, "1.0.0")} << QJsonObject() << QJsonObject()
        << QString("network") << QList<Outcome>{{0x3e4f, ProgressHelper::eResultSuccess, 0, "1.0.7", 2, 1}, plug} << 1
        << QString();
}

void tst_RunFaults::runMeetsFault()
{
    QFETCH(QJsonArray, devices);
    QFETCH(QJsonObject, faults);
    QFETCH(QJsonObject, timing);
    QFETCH(QString, midTransfer);
    QFETCH(QList<Outcome>, outcomes);
    QFETCH(int, connects);
    QFETCH(QString, logLine);

    startTool(devices, faults, timing);
    if (QTest::currentTestFailed())
        return;
    StickInterface* stick = m_rig->bridge()->stickInterface();

    QList<int> linkStates;
    bool struck = false;
    // Ends with this function, before what the watchers use.
    QObject watchers;
    connect(&stick->serialPortHandler(), &CSerialPortHandler::stateChanged, &watchers,
            [&] { linkStates.append(stick->linkState()); });
    if (midTransfer.startsWith("swap held ")) {
        swapHeldFile(midTransfer.section(' ', -1).toUShort());
        struck = true;
    }
    const bool beforeRun = midTransfer.startsWith("newer ") || midTransfer.startsWith("other type ");
    if (beforeRun)
        strikeBeforeRun(watchers, midTransfer, struck);
    else if (!midTransfer.isEmpty())
        strikeMidTransfer(watchers, midTransfer, outcomes.first().address, struck);
    if (QTest::currentTestFailed())
        return;
    if (!beforeRun)
        m_rig->bridge()->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);

    waitForOutcomes(outcomes);
    if (QTest::currentTestFailed())
        return;
    checkOutcomes(outcomes, midTransfer, logLine);
    if (QTest::currentTestFailed())
        return;
    checkLine(faults, connects, midTransfer, struck, linkStates);
    if (QTest::currentTestFailed())
        return;
    checkRunEnd(outcomes, midTransfer);
}

void tst_RunFaults::startTool(const QJsonArray& _devices, const QJsonObject& _faults, const QJsonObject& _timing)
{
    EndToEndRig& rig = *m_rig;
    for (quint16 type : {1, 2, 4})
        QVERIFY2(rig.hold({type, "1.0.0", 2500}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{1, "1.1.0", 3000}, {2, "1.0.7", 2200}, {4, "2.0.0", 4500}}), qPrintable(rig.error()));
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario(_devices, _faults, _timing)), qPrintable(rig.error()));
    rig.startTool();
    QVERIFY2(rig.downloadOffered(kConnectMs, kDownloadMs), qPrintable(rig.error()));
    QTRY_COMPARE_WITH_TIMEOUT(rig.bridge()->deviceModel()->rowCount(), _devices.size(), kConnectMs);
}

void tst_RunFaults::swapHeldFile(quint16 _devType)
{
    const FirmwareUpdate* record = m_rig->bridge()->fileModel()->findByDevType(_devType);
    const QString held = m_rig->updatePath() + "/" + record->m_fileName;
    QVERIFY(writeFile(held, Publisher::otaImage(record->m_devType, record->m_version, 3000, "swapped")));
    QVERIFY(QFile::remove(m_rig->updatePath() + "/" + QFileInfo(held).completeBaseName() + ".sig"));
}

void tst_RunFaults::strikeBeforeRun(QObject& _watchers, const QString& _midTransfer, bool& _struck)
{
    // At an answer that offers it nothing; it asks again only a query
    // interval later, in the run.
    CProg2Gui* bridge = m_rig->bridge();
    StickSimulator* sim = m_rig->simulator();
    const quint16 target = _midTransfer.section(' ', -1).toUShort(nullptr, 16);
    const bool newer = _midTransfer.startsWith("newer ");
    bool* struck = &_struck;
    connect(bridge->stickInterface(), &StickInterface::frameSent, &_watchers,
            [bridge, sim, target, newer, struck](const QByteArray& _body) {
                const StickFrames::ZclReply reply = StickFrames::parseReply(_body);
                if (*struck || !reply.valid || reply.responseId != EndToEndRig::kQueryResponse ||
                    reply.dstShortAddress != target || reply.status() == 0)
                    return;
                *struck = true;
                if (newer)
                    sim->deviceToSteer(target)->takeVersion(parseVersion("2.0.0"));
                else
                    sim->deviceToSteer(target)->nameImageType(1);
                QTimer::singleShot(0, bridge, [bridge] { bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction); });
            });
    QTRY_VERIFY_WITH_TIMEOUT(bridge->isSysState(CProg2Gui::SysStateDeviceUpdate), kConnectMs);
}

void tst_RunFaults::strikeMidTransfer(QObject& _watchers, const QString& _midTransfer, quint16 _address, bool& _struck)
{
    EndToEndRig* rig = m_rig.get();
    const bool cutLink = _midTransfer == "cut";
    bool* struck = &_struck;
    connect(rig->bridge()->stickInterface(), &StickInterface::frameSent, &_watchers, [rig, cutLink, _address, struck] {
        const EndToEndRig::WireReply& last = rig->wire().last();
        // Whichever device asks first in the run goes first; the fault waits for this one.
        if (!*struck && last.responseId == EndToEndRig::kBlockResponse && last.offset >= 1000 &&
            last.address == _address) {
            *struck = true;
            if (cutLink)
                rig->simulator()->cutLink(kLinkCutMs);
            else
                rig->simulator()->changeNetworkNow();
        }
    });
}

void tst_RunFaults::waitForOutcomes(const QList<Outcome>& _outcomes)
{
    const ZigBeeDeviceModel* model = m_rig->bridge()->deviceModel();
    auto reached = [&] {
        for (const Outcome& outcome : _outcomes) {
            const ZigBeeDevice* device = model->findDevice(outcome.address);
            if (!device || device->m_result != outcome.result || device->m_failCounter != outcome.failCounter)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(reached(), kFaultyRunMs);

    // Every device that still speaks asks twice more: nothing further is
    // offered to a device that is done or given up.
    const StickSimulator* sim = m_rig->simulator();
    QHash<quint16, int> queries;
    for (const SimDevice* device : sim->devices())
        queries.insert(device->shortAddress(), device->stats().queries);
    auto askedAgain = [&] {
        for (const SimDevice* device : sim->devices()) {
            if (device->state() != SimDevice::eStateSilent &&
                device->stats().queries < queries[device->shortAddress()] + 2)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(askedAgain(), kSettleMs);
}

void tst_RunFaults::checkOutcomes(const QList<Outcome>& _outcomes, const QString& _midTransfer, const QString& _logLine)
{
    EndToEndRig& rig = *m_rig;
    CProg2Gui* bridge = rig.bridge();
    for (const Outcome& outcome : _outcomes) {
        const QString name = QString("device %1").arg(outcome.address, 4, 16, QChar('0'));
        const ZigBeeDevice* device = bridge->deviceModel()->findDevice(outcome.address);
        QVERIFY2(device->m_result == outcome.result, qPrintable(name + ": " + device->resultName()));
        QVERIFY2(device->m_failCounter == outcome.failCounter, qPrintable(name));
        QCOMPARE(device->m_version, parseVersion(outcome.version));
        if (outcome.clientState >= 0)
            QCOMPARE(int(device->m_clientState), outcome.clientState);
        const SimDevice* simulated = rig.simulator()->device(outcome.address);
        QCOMPARE(simulated->version(), parseVersion(outcome.version));
        QVERIFY2(simulated->stats().transfersStarted == outcome.transfersStarted, qPrintable(name));
        int images = 0;
        QString why;
        QVERIFY2(rig.imagesMatchServed(outcome.address, &images, &why), qPrintable(why));
        QVERIFY2(images == outcome.images, qPrintable(name));
    }
    if (!_logLine.isEmpty())
        QVERIFY2(rig.logContains(_logLine), qPrintable(_logLine));
    // The swapped file's row shows it as missing.
    if (_midTransfer.startsWith("swap held "))
        QCOMPARE(bridge->fileModel()->findByDevType(_midTransfer.section(' ', -1).toUShort())->m_result,
                 ProgressHelper::eResultMissingFile);
}

void tst_RunFaults::checkLine(const QJsonObject& _faults, int _connects, const QString& _midTransfer, bool _struck,
                              const QList<int>& _linkStates)
{
    const StickSimulator* sim = m_rig->simulator();
    // The tool answered every repeated request with its first reply.
    QCOMPARE(sim->counters().repeatedRepliesDiffering, 0);
    const QList<QPair<const char*, int>> injected{{"corruptShare", sim->counters().corrupted},
                                                  {"duplicateShare", sim->counters().duplicated},
                                                  {"repeatSeqShare", sim->counters().repeatedSeqs},
                                                  {"dropReplyShare", sim->counters().droppedReplies}};
    for (const auto& fault : injected)
        QVERIFY2(!_faults.contains(fault.first) || fault.second > 0, fault.first);

    QCOMPARE(sim->counters().connects, _connects);
    QCOMPARE(m_rig->bridge()->stickInterface()->linkState(), 1);
    if (!_midTransfer.isEmpty())
        QVERIFY(_struck);
    if (_midTransfer == "cut") {
        // Lost, searched again, found again.
        QVERIFY2(_linkStates.size() >= 3, qPrintable(QString::number(_linkStates.size())));
        QCOMPARE(_linkStates.mid(0, 3), (QList<int>{2, 0, 1}));
    } else {
        QVERIFY2(_linkStates.isEmpty(), "the link was lost");
    }
}

void tst_RunFaults::checkRunEnd(const QList<Outcome>& _outcomes, const QString& _midTransfer)
{
    CProg2Gui* bridge = m_rig->bridge();
    ZigBeeDeviceModel* model = bridge->deviceModel();
    // Once the search time is over, the run ends by itself when nobody is
    // left to update: every device updated, given up, or without an update.
    const bool nobodyLeft = std::all_of(_outcomes.begin(), _outcomes.end(), [](const Outcome& _outcome) {
        return _outcome.result == ProgressHelper::eResultSuccess || _outcome.result == ProgressHelper::eResultUnknown ||
               _outcome.failCounter >= ProgressHelper::kMaxFailures;
    });
    model->supervise(model->startTime().addSecs(ZigBeeDeviceModel::kMinSearchSeconds));
    QCOMPARE(bridge->SysState() == CProg2Gui::SysStateIdle, nobodyLeft);

    bridge->qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    for (const Outcome& outcome : _outcomes)
        QCOMPARE(model->findDevice(outcome.address)->m_result, outcome.result);

    // The report of the cancelled run tells each device's outcome.
    QTRY_VERIFY_WITH_TIMEOUT(!bridge->runReport().latestCsv().isEmpty(), kReportMs);
    QHash<quint16, QString> results;
    QHash<quint16, int> attempts;
    for (const Outcome& outcome : _outcomes) {
        if (outcome.result == ProgressHelper::eResultUnknown)
            results.insert(outcome.address, "Already current");
        else if (outcome.result != ProgressHelper::eResultSuccess)
            results.insert(outcome.address, "Failed: " + ProgressHelper::resultText(outcome.result, false));
        // The report tells the new network's devices: a transfer begun in the old one is not theirs.
        if (_midTransfer == "network" && outcome.transfersStarted > 1)
            attempts.insert(outcome.address, outcome.transfersStarted - 1);
    }
    QString why;
    QVERIFY2(m_rig->reportMatchesNetwork(bridge->runReport().latestCsv(), results, &why, attempts), qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_RunFaults)
#include "tst_runfaults.moc"
