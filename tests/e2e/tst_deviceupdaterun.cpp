#include <QtTest>

#include "EndToEndRig.h"
#include "StickSimulator.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "support/E2eTimings.h"

using namespace E2eTimings;

namespace {
constexpr quint16 kWallTransmitter = 0x3e4f;
} // namespace

// A device update run over a network of five devices, one of them a
// wall-mounted transmitter, from the download to the cancel.
class tst_DeviceUpdateRun : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyDeviceGetsTheOfferedVersion();

private:
    std::unique_ptr<EndToEndRig> m_rig;
};

void tst_DeviceUpdateRun::init()
{
    START_END_TO_END_RIG(m_rig);
}

void tst_DeviceUpdateRun::cleanup()
{
    m_rig.reset();
}

void tst_DeviceUpdateRun::everyDeviceGetsTheOfferedVersion()
{
    EndToEndRig& rig = *m_rig;
    for (quint16 type : {1, 2, 4})
        QVERIFY2(rig.hold({type, "1.0.0", 2500}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{1, "1.1.0", 3000}, {2, "1.0.7", 2200}, {4, "2.0.0", 4500}}), qPrintable(rig.error()));
    // The wall transmitter speaks last, so it is not simply the first to ask
    // once the run has started.
    const QJsonArray devices{
        EndToEndRig::device(0x1a2b, 1, "1.0.0", {{"firstQueryMs", 0}}),
        EndToEndRig::device(0x2c3d, 1, "1.0.0", {{"firstQueryMs", 50}}),
        EndToEndRig::device(0x4a5b, 4, "1.0.0", {{"firstQueryMs", 100}}),
        EndToEndRig::device(0x5c6d, 4, "1.0.0", {{"firstQueryMs", 150}}),
        EndToEndRig::device(kWallTransmitter, 2, "1.0.0", {{"firstQueryMs", 250}, {"queryIntervalMs", 900}}),
    };
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario(devices)), qPrintable(rig.error()));
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    StickInterface* stick = bridge->stickInterface();
    ZigBeeDeviceModel* model = bridge->deviceModel();

    QVERIFY2(rig.downloadOffered(kConnectMs, kDownloadMs), qPrintable(rig.error()));
    // Every device has made itself known before the run starts.
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), devices.size(), kConnectMs);
    QCOMPARE(model->getSpecialCount(ZigBeeDeviceModel::eCountTypeToUpdate), devices.size());
    QVERIFY(bridge->boGetVal(CProg2Gui::DeviceUpdateButton_ValId));
    QVERIFY(bridge->isHighlightState(CProg2Gui::HighlightDeviceUpdate));

    // The combined progress is sampled on every frame the tool sends.
    QList<int> progress;
    // Ends with this function, before what the watchers use.
    QObject watchers;
    connect(stick, &StickInterface::frameSent, &watchers, [&] {
        if (bridge->SysState() == CProg2Gui::SysStateDeviceUpdate)
            progress.append(bridge->iGetVal(CProg2Gui::DeviceCombinedProgressPercent_ValId));
    });
    const int wireBefore = rig.wire().size();
    bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateDeviceUpdate);
    QVERIFY(bridge->boGetVal(CProg2Gui::DeviceAbortButton_ValId));
    QVERIFY(bridge->boGetVal(CProg2Gui::DeviceCombinedProgressVisible_ValId));

    QTRY_VERIFY_WITH_TIMEOUT(rig.allDevicesSucceeded(devices), kRunMs);

    // What the tool holds about every device, and what every device runs.
    for (const QJsonValue& value : devices) {
        const quint16 address = value["shortAddress"].toString().toUShort(nullptr, 16);
        const quint16 type = quint16(value["type"].toInt());
        const ZigBeeDevice* device = model->findDevice(address);
        QCOMPARE(device->m_version, rig.offeredVersion(type));
        QCOMPARE(device->m_progress, 1000);
        QCOMPARE(device->m_failCounter, 0);
        QCOMPARE(model->get(model->rowOf(address)).value("done").toString(), QString("qrc:/pic/checkmark.png"));
        const SimDevice* simulated = rig.simulator()->device(address);
        QCOMPARE(simulated->version(), rig.offeredVersion(type));
        int images = 0;
        QString why;
        QVERIFY2(rig.imagesMatchServed(address, &images, &why), qPrintable(why));
        QCOMPARE(images, 1);
    }
    QCOMPARE(bridge->iGetVal(CProg2Gui::DeviceCombinedProgressPercent_ValId), 1000);
    const QString progressText = bridge->getText(CProg2Gui::DeviceCombinedProgressText_ValId);
    QVERIFY2(progressText.startsWith("5 of 5") && progressText.endsWith("100%"), qPrintable(progressText));
    // The run goes on searching for late devices.
    const QString countText = bridge->getText(CProg2Gui::DeviceCountTxt_ValId);
    QVERIFY2(countText.startsWith("5 devices found - searching "), qPrintable(countText));
    QVERIFY(!progress.isEmpty());
    for (int i = 1; i < progress.size(); ++i)
        QVERIFY2(
            progress.at(i) >= progress.at(i - 1),
            qPrintable(QString("combined progress fell from %1 to %2").arg(progress.at(i - 1)).arg(progress.at(i))));

    // On the wire: the wall transmitter first, then one device at a time,
    // each offered once, served only while it is the one in transfer.
    const QList<quint16> offers = rig.offersInOrder();
    QCOMPARE(offers.size(), devices.size());
    QCOMPARE(offers.first(), kWallTransmitter);
    int inTransfer = -1;
    for (int i = wireBefore; i < rig.wire().size(); ++i) {
        const EndToEndRig::WireReply& reply = rig.wire().at(i);
        const QString at = QString("reply %1 to %2").arg(i).arg(reply.address, 4, 16, QChar('0'));
        if (reply.responseId == EndToEndRig::kQueryResponse && reply.status == 0) {
            QVERIFY2(inTransfer < 0, qPrintable(at + " offers an image while another device is in transfer"));
            inTransfer = reply.address;
        } else if (reply.responseId == EndToEndRig::kBlockResponse && reply.dataSize > 0) {
            QVERIFY2(reply.address == inTransfer, qPrintable(at + " serves a device that is not in transfer"));
        } else if (reply.responseId == EndToEndRig::kEndResponse && reply.address == inTransfer) {
            inTransfer = -1;
        }
    }

    // Cancel ends the run; the results stay.
    bridge->qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateIdle);
    QVERIFY(rig.allDevicesSucceeded(devices));
    QCOMPARE(bridge->getText(CProg2Gui::DeviceCountTxt_ValId), QString("5 devices found"));
}

QTEST_GUILESS_MAIN(tst_DeviceUpdateRun)
#include "tst_deviceupdaterun.moc"
