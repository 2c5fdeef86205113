#include <QtTest>

#include "EndToEndRig.h"
#include "StickSimulator.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"

namespace {
constexpr int kConnectMs = 10000;
constexpr int kDownloadMs = 15000;
// A device that gives up its transfer during a cut comes back, is restarted
// and fetches its image anew.
constexpr int kRunMs = 90000;
constexpr int kLinkCutMs = 10000;
// The fault strikes once a transfer is this far in.
constexpr quint32 kStrikeAtOffset = 1000;

enum Strike_t
{
    StrikeNone,
    StrikeCutLink,      // the line goes dead for kLinkCutMs
    StrikeRestartStick, // the stick restarts and connects again
};
} // namespace

Q_DECLARE_METATYPE(Strike_t)

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

    QTRY_VERIFY_WITH_TIMEOUT(rig.allDevicesSucceeded(devices), kRunMs);

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

QTEST_GUILESS_MAIN(tst_LinkFaults)
#include "tst_linkfaults.moc"
