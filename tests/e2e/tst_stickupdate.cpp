#include <QtTest>

#include "EndToEndRig.h"
#include "StickSimulator.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "link/StickInterface.h"

namespace {
constexpr int kConnectMs = 10000;
constexpr int kDownloadMs = 15000;
constexpr int kStickUpdateMs = 40000;
constexpr quint16 kDevice = 0x1a2b;
} // namespace

// The stick takes its own new firmware: download, transfer, restart, and
// the check mark once it reports the new version.
class tst_StickUpdate : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void stickRestartsWithTheNewFirmware();

private:
    std::unique_ptr<EndToEndRig> m_rig;
};

void tst_StickUpdate::init()
{
    START_END_TO_END_RIG(m_rig);
}

void tst_StickUpdate::cleanup()
{
    m_rig.reset();
}

void tst_StickUpdate::stickRestartsWithTheNewFirmware()
{
    EndToEndRig& rig = *m_rig;
    QVERIFY2(rig.hold({6, "1.0.0", 2000}), qPrintable(rig.error()));
    QVERIFY2(rig.hold({1, "1.0.0", 2000}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{6, "1.2.0", 4000}, {1, "1.1.0", 2000}}), qPrintable(rig.error()));
    // A device in the network keeps asking while the stick updates itself.
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario({EndToEndRig::device(kDevice, 1, "1.0.0")})),
             qPrintable(rig.error()));
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    StickInterface* stick = bridge->stickInterface();
    StickSimulator* sim = rig.simulator();

    QVERIFY2(rig.downloadOffered(kConnectMs, kDownloadMs), qPrintable(rig.error()));
    // The stick has reported its version and the downloaded file is pending for it.
    QTRY_VERIFY_WITH_TIMEOUT(stick->isStickUpdateAvailable(), kConnectMs);
    QCOMPARE(stick->stickFirmware().m_version, parseVersion("1.0.0"));
    QCOMPARE(stick->stickFirmware().updateVersion(), parseVersion("1.2.0"));
    QCOMPARE(bridge->getText(CProg2Gui::StickUpdateDoneImg_ValId), QString());
    QTRY_VERIFY_WITH_TIMEOUT(bridge->boGetVal(CProg2Gui::StickUpdateButtonEnabled_ValId), kConnectMs);
    QVERIFY(bridge->isHighlightState(CProg2Gui::HighlightStickUpdate));

    int maxProgress = -1;
    // Ends with this function, before what the watchers use.
    QObject watchers;
    connect(bridge, &CProg2Gui::stickDataRepaint, &watchers,
            [&] { maxProgress = qMax(maxProgress, bridge->iGetVal(CProg2Gui::StickUpdateProgress_ValId)); });
    QSignalSpy stickConnects(sim, &StickSimulator::stickConnected);
    bridge->qmlAction(CProg2Gui::DoStickUpdate_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateStickUpdate);
    QVERIFY(!bridge->boGetVal(CProg2Gui::StickUpdateButtonEnabled_ValId));

    QTRY_COMPARE_WITH_TIMEOUT(stick->stickUpdateState(), int(OtaServer::eStickUpdateStateSuccess), kStickUpdateMs);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QCOMPARE(bridge->getText(CProg2Gui::StickUpdateDoneImg_ValId), QString("qrc:/pic/checkmark.png"));
    QCOMPARE(bridge->getText(CProg2Gui::StickVersionTxt_ValId), versionPrefixed("1.2.0"));
    QCOMPARE(stick->stickFirmware().m_version, parseVersion("1.2.0"));
    QVERIFY(!stick->isStickUpdateAvailable());
    QVERIFY(!bridge->boGetVal(CProg2Gui::StickUpdateButtonEnabled_ValId));
    QCOMPARE(maxProgress, 1000);

    // The stick restarted and connected anew before it reported the new version.
    QCOMPARE(stickConnects.count(), 1);
    QCOMPARE(stick->linkState(), 1);
    const SimDevice& simStick = sim->stickClient();
    QCOMPARE(simStick.version(), parseVersion("1.2.0"));
    QCOMPARE(simStick.stats().transfersCompleted, 1);
    // Asked again, the stick is told there is nothing newer for it.
    QTRY_COMPARE_WITH_TIMEOUT(simStick.lastQueryStatus(), 0x98, kConnectMs);
    int images = 0;
    QString why;
    QVERIFY2(rig.imagesMatchServed(0x0000, &images, &why), qPrintable(why));
    QCOMPARE(images, 1);
    // The device was neither started nor served while the stick updated.
    QVERIFY(rig.offersInOrder().isEmpty());
    QCOMPARE(sim->device(kDevice)->stats().transfersStarted, 0);
}

QTEST_GUILESS_MAIN(tst_StickUpdate)
#include "tst_stickupdate.moc"
