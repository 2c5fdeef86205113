#include <QtTest>

#include "EndToEndRig.h"
#include "StickSimulator.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"
#include "support/E2eTimings.h"

using namespace E2eTimings;

namespace {
constexpr quint16 kDevice = 0x1a2b;
// A device of the network that names the stick's image type in its requests.
constexpr quint16 kImpostor = 0x5c6d;
} // namespace

// The stick takes its own new firmware: download, transfer, restart, and
// the check mark once it reports the new version.
class tst_StickUpdate : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void stickRestartsWithTheNewFirmware_data();
    void stickRestartsWithTheNewFirmware();
    void stickUpdateFailsAndEnds_data();
    void stickUpdateFailsAndEnds();

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

void tst_StickUpdate::stickRestartsWithTheNewFirmware_data()
{
    QTest::addColumn<bool>("impostor");
    QTest::newRow("alone") << false;
    // It asks for the stick's image and its blocks throughout: it gets
    // nothing, and the stick's update is its own.
    QTest::newRow("with a device posing as the stick") << true;
}

void tst_StickUpdate::stickRestartsWithTheNewFirmware()
{
    QFETCH(bool, impostor);
    EndToEndRig& rig = *m_rig;
    QVERIFY2(rig.hold({6, "1.0.0", 2000}), qPrintable(rig.error()));
    QVERIFY2(rig.hold({1, "1.0.0", 2000}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{6, "1.2.0", 4000}, {1, "1.1.0", 2000}}), qPrintable(rig.error()));
    // A device in the network keeps asking while the stick updates itself.
    QJsonArray devices{EndToEndRig::device(kDevice, 1, "1.0.0")};
    if (impostor)
        devices.append(EndToEndRig::device(kImpostor, 1, "1.0.0", {{"queryImageType", 6}, {"blockImageType", 6}}));
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario(devices)), qPrintable(rig.error()));
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

    QTRY_COMPARE_WITH_TIMEOUT(stick->stickUpdateState(), int(StickImageUpdate::eStickUpdateStateSuccess),
                              kStickUpdateMs);
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
    if (impostor) {
        const SimDevice* posing = sim->device(kImpostor);
        QVERIFY(posing->stats().queries > 0);
        QCOMPARE(posing->stats().transfersStarted, 0);
        QVERIFY(posing->images().isEmpty());
        for (const EndToEndRig::WireReply& reply : rig.wire()) {
            if (reply.address == kImpostor)
                QVERIFY(reply.status != 0x00 || reply.responseId == EndToEndRig::kEndResponse);
        }
    }
}

void tst_StickUpdate::stickUpdateFailsAndEnds_data()
{
    QTest::addColumn<QString>("fault");
    // The held stick image is gone when the update starts.
    QTest::newRow("the stick's file cannot be read") << "no file";
    // The stick takes its image, restarts and never connects again.
    QTest::newRow("the stick never comes back") << "never back";
}

void tst_StickUpdate::stickUpdateFailsAndEnds()
{
    QFETCH(QString, fault);
    EndToEndRig& rig = *m_rig;
    QVERIFY2(rig.hold({6, "1.0.0", 2000}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{6, "1.2.0", 4000}}), qPrintable(rig.error()));
    QJsonObject timing;
    if (fault == "never back")
        timing.insert("stickRestartDelayMs", 3600000);
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario({EndToEndRig::device(kDevice, 1, "1.0.0")}, {}, timing)),
             qPrintable(rig.error()));
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    StickInterface* stick = bridge->stickInterface();
    // The stick's silence counts from its last request; a short limit keeps the test short.
    stick->otaServer().stickUpdate().setSilenceLimit(3000);
    QVERIFY2(rig.downloadOffered(kConnectMs, kDownloadMs), qPrintable(rig.error()));
    QTRY_VERIFY_WITH_TIMEOUT(bridge->boGetVal(CProg2Gui::StickUpdateButtonEnabled_ValId), kConnectMs);
    const QString held = rig.updatePath() + "/" + stick->stickFirmware().m_update.fileName;
    if (fault == "no file")
        QVERIFY(QFile::remove(held));

    bridge->qmlAction(CProg2Gui::DoStickUpdate_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateStickUpdate);
    // Whatever went wrong, the stick update ends as failed and the tool is usable again.
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kStickUpdateMs);
    QCOMPARE(stick->stickUpdateState(), int(StickImageUpdate::eStickUpdateStateFail));
    QCOMPARE(bridge->getText(CProg2Gui::StickUpdateDoneImg_ValId), QString("qrc:/pic/error.png"));
    QVERIFY(!bridge->boGetVal(CProg2Gui::DeviceAbortButton_ValId));
    if (fault == "no file") {
        // The stick is still there: it can be updated again, and devices can be.
        QCOMPARE(rig.simulator()->stickClient().stats().transfersStarted, 0);
        QVERIFY(bridge->boGetVal(CProg2Gui::StickUpdateButtonEnabled_ValId));
        QVERIFY(bridge->boGetVal(CProg2Gui::DeviceUpdateButton_ValId));
    } else {
        QCOMPARE(rig.simulator()->stickClient().stats().transfersCompleted, 1);
        // The link watchdog finds the stick gone; with no stick there is nothing to update.
        QTRY_VERIFY_WITH_TIMEOUT(stick->linkState() != CSerialPortHandler::eStateConnected, kConnectMs);
        QVERIFY(!bridge->boGetVal(CProg2Gui::StickUpdateButtonEnabled_ValId));
    }
}

QTEST_GUILESS_MAIN(tst_StickUpdate)
#include "tst_stickupdate.moc"
