#include <QAbstractItemModelTester>
#include <QtTest>

#include "common/RunState.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "support/LogCapture.h"
#include "support/StickHarness.h"

// The device list: order, roles, counts, combined progress, time estimates,
// count texts and the supervision step, driven with constructed times.
class tst_ZigBeeDeviceModel : public QObject
{
    Q_OBJECT
private slots:
    void sortOrder();
    void knownAddressKeepsItsRow();
    void lookupInLargeList();
    void roles();
    void donePicture_data();
    void donePicture();
    void dataAndSetDataGuards();
    void specialCounts();
    void combinedProgress_data();
    void combinedProgress();
    void remainingTimeText_data();
    void remainingTimeText();
    void deviceCountText();
    void supervisionEndsRun();
    void supervisionTimeoutLetsRunEnd();
    void startAndAbort();
    void versionChangedRefreshesType();

private:
    static QStringList order(const ZigBeeDeviceModel& _model);
};

QStringList tst_ZigBeeDeviceModel::order(const ZigBeeDeviceModel& _model)
{
    QStringList names;
    for (int row = 0; row < _model.rowCount(); ++row)
        names << _model.data(_model.index(row), ZigBeeDeviceModel::NameRole).toString();
    return names;
}

void tst_ZigBeeDeviceModel::sortOrder()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy repaint(&model, &ZigBeeDeviceModel::deviceDataRepaint);

    model.addZigBeeDevice(0x0005, 1, 0);
    model.addZigBeeDevice(0x0003, 2, 0);
    model.addZigBeeDevice(0x0002, 4, 0);
    model.addZigBeeDevice(0x0001, 1, 0);
    QCOMPARE(order(model), (QStringList{"0003", "0001", "0005", "0002"}));
    QCOMPARE(repaint.count(), 4);

    // Wall transmitters first whatever their address; other types by code.
    model.addZigBeeDevice(0xffff, 2, 0);
    model.addZigBeeDevice(0x0000, 3, 0);
    model.addZigBeeDevice(0x0004, 6, 0);
    QCOMPARE(order(model), (QStringList{"0003", "ffff", "0001", "0005", "0000", "0002", "0004"}));
    QCOMPARE(model.rowOf(0x0002), 5);
    QCOMPARE(model.rowOf(0x7777), -1);
    QVERIFY(!model.findDevice(0x7777));

    model.clear();
    QCOMPARE(model.rowCount(), 0);
    model.clear(); // nothing to remove
}

void tst_ZigBeeDeviceModel::knownAddressKeepsItsRow()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    model.addZigBeeDevice(0x0010, 1, 0x010000);
    model.addZigBeeDevice(0x0020, 1, 0x010000);

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy repaint(&model, &ZigBeeDeviceModel::deviceDataRepaint);
    LogCapture log;
    model.addZigBeeDevice(0x0010, 2, 0x010203);
    model.addZigBeeDevice(0x0020, 1, 0x010000);

    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.findDevice(0x0010)->m_version, 0x010203u);
    QCOMPARE(model.findDevice(0x0010)->m_devType, quint16(1));
    QCOMPARE(order(model), (QStringList{"0010", "0020"}));
    QCOMPARE(inserted.count() + changed.count() + repaint.count(), 0);
    QVERIFY(log.contains("Version change: device already known: shortAddr 0010, devType 2, version 010203"));
    QVERIFY(log.contains("device already known: shortAddr 0020, devType 1, version 010000"));
}

void tst_ZigBeeDeviceModel::lookupInLargeList()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    // Addresses and types in no particular order, some addresses repeated.
    quint32 state = 12345;
    QSet<ushort> added;
    for (int i = 0; i < 600; ++i) {
        state = state * 1103515245u + 12345u;
        const ushort address = ushort((state >> 8) % 400);
        const ushort type = ushort(1 + (state >> 20) % 6);
        model.addZigBeeDevice(address, type, 0);
        added.insert(address);
    }
    QCOMPARE(model.rowCount(), added.size());
    for (int row = 0; row < model.rowCount(); ++row) {
        const ushort address =
            ushort(model.data(model.index(row), ZigBeeDeviceModel::NameRole).toString().toUShort(nullptr, 16));
        QCOMPARE(model.rowOf(address), row);
        QVERIFY(model.findDevice(address));
        QCOMPARE(model.findDevice(address)->shortAddr, address);
        if (row > 0) {
            const ZigBeeDevice* before = model.findDevice(
                ushort(model.data(model.index(row - 1), ZigBeeDeviceModel::NameRole).toString().toUShort(nullptr, 16)));
            QVERIFY(ZigBeeDeviceModel::sortKey(before->shortAddr, before->m_devType) <
                    ZigBeeDeviceModel::sortKey(address, model.findDevice(address)->m_devType));
        }
    }
    for (ushort address = 0; address < 400; ++address) {
        if (!added.contains(address)) {
            QCOMPARE(model.rowOf(address), -1);
            QVERIFY(!model.findDevice(address));
        }
    }

    // After clearing, nothing is found, and an address comes back as new.
    const ushort some = *added.cbegin();
    model.clear();
    QCOMPARE(model.rowOf(some), -1);
    QVERIFY(!model.findDevice(some));
    model.addZigBeeDevice(some, 4, 0x010000);
    QCOMPARE(model.rowOf(some), 0);
    QCOMPARE(model.findDevice(some)->m_devType, quint16(4));
}

void tst_ZigBeeDeviceModel::roles()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    model.addZigBeeDevice(0x1a2b, 1, 0x010200);
    model.setClientState(0x1a2b, ZigBeeDevice::eClientStateLoadData);
    model.setProgress(0, 400);
    model.setDone(0, ProgressHelper::eResultVerifFail);

    const QVariantMap row = model.get(0);
    QCOMPARE(row.keys(), (QStringList{"devType", "done", "extAddress", "hasUpdate", "name", "progress", "version"}));
    QCOMPARE(row.value("name").toString(), QString("1a2b"));
    QCOMPARE(row.value("devType").toString(),
             QString("<font color=\"black\">ZLL control element<br><font color=\"grey\">loads data..."));
    QVERIFY(row.value("version").toString().contains("V1.2.0"));
    QVERIFY(row.value("version").toString().contains("V1.2.3"));
    QVERIFY(row.value("version").toString().endsWith("<br/>Verification failed"));
    QCOMPARE(row.value("progress").toInt(), 400);
    QCOMPARE(row.value("hasUpdate").toBool(), true);
    QCOMPARE(model.roleNames().value(267), QByteArray("name"));
    QCOMPARE(model.roleNames().value(272), QByteArray("hasUpdate"));
}

void tst_ZigBeeDeviceModel::donePicture_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("failures");
    QTest::addColumn<QString>("picture");
    QTest::newRow("success") << 5 << 0 << "qrc:/pic/checkmark.png";
    QTest::newRow("verification, attempts left") << 6 << 2 << "qrc:/pic/error_light.png";
    QTest::newRow("verification, given up") << 6 << 3 << "qrc:/pic/error.png";
    QTest::newRow("timeout") << 8 << 1 << "qrc:/pic/error_light.png";
    QTest::newRow("missing file") << 9 << 3 << "qrc:/pic/error.png";
    QTest::newRow("failed") << 10 << 0 << "qrc:/pic/error_light.png";
    QTest::newRow("authentication") << 7 << 3 << "";
    QTest::newRow("transfer") << 3 << 0 << "";
}

void tst_ZigBeeDeviceModel::donePicture()
{
    QFETCH(int, result);
    QFETCH(int, failures);
    QFETCH(QString, picture);
    FirmwareUpdateFileModel files;
    RunState runState;
    ZigBeeDeviceModel model(files, runState);
    model.addZigBeeDevice(1, 1, 0);
    model.findDevice(1)->m_failCounter = failures;
    QVERIFY(model.setData(model.index(0), result, ZigBeeDeviceModel::DoneRole));
    QCOMPARE(model.data(model.index(0), ZigBeeDeviceModel::DoneRole).toString(), picture);
}

void tst_ZigBeeDeviceModel::dataAndSetDataGuards()
{
    FirmwareUpdateFileModel files;
    RunState runState;
    ZigBeeDeviceModel model(files, runState);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // An index that outlived its row: row 1 of a list with one row.
    model.addZigBeeDevice(1, 1, 0);
    model.addZigBeeDevice(2, 1, 0);
    const QModelIndex stale = model.index(1);
    model.clear();
    model.addZigBeeDevice(1, 1, 0);
    LogCapture log;

    QVERIFY(!model.data(model.index(-1), ZigBeeDeviceModel::NameRole).isValid());
    QVERIFY(!model.data(stale, ZigBeeDeviceModel::NameRole).isValid());
    QVERIFY(log.lines().last().endsWith("ZigBeeDeviceModel::data: role 267, row 1"));
    QVERIFY(!model.data(model.index(0), Qt::DisplayRole).isValid());
    QVERIFY(log.lines().last().endsWith("ZigBeeDeviceModel::data: unknown role (0), row 0"));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(0), 2000, ZigBeeDeviceModel::ProgressRole));
    QCOMPARE(model.findDevice(1)->m_progress, 1000);
    QVERIFY(model.setData(model.index(0), -7, ZigBeeDeviceModel::ProgressRole));
    QCOMPARE(model.findDevice(1)->m_progress, -1);
    QCOMPARE(changed.count(), 2);

    QVERIFY(!model.setData(QModelIndex(), 5, ZigBeeDeviceModel::ProgressRole));
    QVERIFY(!model.setData(stale, 5, ZigBeeDeviceModel::ProgressRole));
    QVERIFY(log.lines().last().endsWith("ZigBeeDeviceModel::setData: invalid index"));
    QVERIFY(!model.setData(model.index(0), 5, ZigBeeDeviceModel::NameRole));
    QVERIFY(log.lines().last().endsWith("ZigBeeDeviceModel::setData: unsupported role 267"));
    QCOMPARE(changed.count(), 2);

    // An unknown row through setDone changes nothing but still asks for a repaint.
    QSignalSpy repaint(&model, &ZigBeeDeviceModel::deviceDataRepaint);
    model.setDone(-1, ProgressHelper::eResultSuccess);
    QCOMPARE(repaint.count(), 1);
    QCOMPARE(model.findDevice(1)->m_result, ProgressHelper::eResultUnknown);
}

void tst_ZigBeeDeviceModel::specialCounts()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    harness.files->addFirmwareFile(2, "2.0.0", "wall.ota", 0);
    model.addZigBeeDevice(0x01, 1, 0x010200); // to update
    model.addZigBeeDevice(0x02, 1, 0x010203); // up to date
    model.addZigBeeDevice(0x03, 1, 0x010000); // given up
    model.findDevice(0x03)->m_failCounter = 3;
    model.addZigBeeDevice(0x04, 2, 0x010000); // wall transmitter, awake
    model.addZigBeeDevice(0x05, 2, 0x010000); // wall transmitter, asleep
    model.findDevice(0x05)->setClientState(ZigBeeDevice::eClientStateNoActivity);
    model.addZigBeeDevice(0x06, 4, 0); // no file for its type

    QCOMPARE(model.getSpecialCount(ZigBeeDeviceModel::eCountTypeUpdatable), 4);
    QCOMPARE(model.getSpecialCount(ZigBeeDeviceModel::eCountTypeToUpdate), 3);
    QCOMPARE(model.getSpecialCount(ZigBeeDeviceModel::eCountTypeWallTransmitterAwake), 1);
    QVERIFY(model.hasAny(ZigBeeDeviceModel::eCountTypeUpdatable));
    QVERIFY(model.hasAny(ZigBeeDeviceModel::eCountTypeToUpdate));
    QVERIFY(model.hasAny(ZigBeeDeviceModel::eCountTypeWallTransmitterAwake));
    LogCapture log;
    QCOMPARE(model.getSpecialCount(ZigBeeDeviceModel::eCountType_t(7)), 0);
    QCOMPARE(log.count("wrong count type 7"), 6);

    // The last device of each kind gone: every answer turns with the count.
    model.findDevice(0x04)->setClientState(ZigBeeDevice::eClientStateNoActivity);
    QCOMPARE(model.getSpecialCount(ZigBeeDeviceModel::eCountTypeWallTransmitterAwake), 0);
    QVERIFY(!model.hasAny(ZigBeeDeviceModel::eCountTypeWallTransmitterAwake));
    for (ushort address : {0x01, 0x04, 0x05})
        model.findDevice(address)->m_failCounter = 3;
    QCOMPARE(model.getSpecialCount(ZigBeeDeviceModel::eCountTypeToUpdate), 0);
    QVERIFY(!model.hasAny(ZigBeeDeviceModel::eCountTypeToUpdate));
    QVERIFY(model.hasAny(ZigBeeDeviceModel::eCountTypeUpdatable)); // given up still has an update
    harness.files->addFirmwareFile(4, "9.0.0", "plug.ota", 0);     // 0x06 now has one too
    QCOMPARE(model.getSpecialCount(ZigBeeDeviceModel::eCountTypeToUpdate), 1);
    QVERIFY(model.hasAny(ZigBeeDeviceModel::eCountTypeToUpdate));
}

void tst_ZigBeeDeviceModel::combinedProgress_data()
{
    QTest::addColumn<QList<int>>("progress");
    QTest::addColumn<int>("perMille");
    QTest::addColumn<QString>("percentText");
    QTest::newRow("nobody") << QList<int>{} << 0 << "0 of 0  -  remaining less than 1min  - 0%";
    QTest::newRow("0 and 1 round up") << QList<int>{0, 1} << 1 << "0 of 2  -  remaining less than 1min  - 0%";
    QTest::newRow("mean") << QList<int>{500, 1000} << 750 << "0 of 2  -  remaining less than 1min  - 75%";
    QTest::newRow("not taking part") << QList<int>{-1, 999} << 999 << "0 of 1  -  remaining less than 1min  - 99%";
    QTest::newRow("three at 1") << QList<int>{1, 1, 1} << 1 << "0 of 3  -  remaining less than 1min  - 0%";
}

void tst_ZigBeeDeviceModel::combinedProgress()
{
    QFETCH(QList<int>, progress);
    QFETCH(int, perMille);
    QFETCH(QString, percentText);
    FirmwareUpdateFileModel files; // no firmware file: nothing to estimate
    RunState runState;
    ZigBeeDeviceModel model(files, runState);
    for (int i = 0; i < progress.size(); ++i) {
        model.addZigBeeDevice(ushort(i + 1), 1, 0);
        model.setProgress(i, progress.at(i));
    }
    // A device given up does not count, whatever its progress.
    model.addZigBeeDevice(0x100, 1, 0);
    model.findDevice(0x100)->m_progress = 1000;
    model.findDevice(0x100)->m_failCounter = 3;

    QCOMPARE(model.progressPerMille(), perMille);
    QCOMPARE(model.progressText(), percentText);
}

void tst_ZigBeeDeviceModel::remainingTimeText_data()
{
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("59 s") << 500 << 118 << 59 << "less than 1min";
    QTest::newRow("60 s") << 500 << 120 << 60 << "1min";
    QTest::newRow("3569 s") << 500 << 7138 << 3569 << "59min";
    QTest::newRow("3570 s") << 500 << 7140 << 3570 << "1h 0min";
    QTest::newRow("not started adds 120 s") << 0 << 300 << 420 << "7min";
    QTest::newRow("unknown duration") << 500 << -1 << 0 << "less than 1min";
    QTest::newRow("transfer complete") << 1000 << 600 << 0 << "less than 1min";
}

void tst_ZigBeeDeviceModel::remainingTimeText()
{
    QFETCH(int, progress);
    QFETCH(int, duration);
    QFETCH(int, seconds);
    QFETCH(QString, text);
    StickHarness harness;
    harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", duration);
    harness.model->addZigBeeDevice(0x0001, 1, 0x010200);
    harness.model->setProgress(0, progress);
    harness.model->setDone(0, ProgressHelper::eResultTransfer);
    // A device of a type without a firmware record is not estimated.
    harness.model->addZigBeeDevice(0x0002, 4, 0x010200);
    harness.model->setProgress(1, 0);

    QCOMPARE(harness.model->remainingSeconds(), seconds);
    QCOMPARE(harness.model->progressText(),
             QString("1 of 2  -  remaining %1  - %2%").arg(text).arg(harness.model->progressPerMille() / 10));
}

void tst_ZigBeeDeviceModel::deviceCountText()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QCOMPARE(model.deviceCountText(start), QString("No devices found"));

    harness.services->setSysState(SystemServices::SysStateDeviceUpdate);
    model.startUpdate(start);
    QCOMPARE(model.deviceCountText(start), QString("No devices found - searching 25min"));
    model.addZigBeeDevice(1, 1, 0);
    model.addZigBeeDevice(2, 1, 0);
    QCOMPARE(model.deviceCountText(start), QString("2 devices found - searching 25min"));
    QCOMPARE(model.deviceCountText(start.addSecs(60)), QString("2 devices found - searching 24min"));
    QCOMPARE(model.deviceCountText(start.addSecs(1499)), QString("2 devices found - searching 1min"));
    QCOMPARE(model.deviceCountText(start.addSecs(1500)), QString("2 devices found"));
    QVERIFY(!model.isMinTimeElapsed(start.addSecs(1499)));
    QVERIFY(model.isMinTimeElapsed(start.addSecs(1500)));

    harness.services->setSysState(SystemServices::SysStateIdle);
    QCOMPARE(model.deviceCountText(start), QString("2 devices found"));
}

void tst_ZigBeeDeviceModel::supervisionEndsRun()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    const QDateTime start = QDateTime::currentDateTimeUtc();
    harness.services->setSysState(SystemServices::SysStateDeviceUpdate);
    model.startUpdate(start);
    LogCapture log;

    // With no rows the run is never ended by the supervision.
    model.supervise(start.addSecs(5000));
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateDeviceUpdate);

    model.addZigBeeDevice(0x0001, 1, 0x010200); // still to update
    model.addZigBeeDevice(0x0002, 1, 0x010203);
    model.supervise(start.addSecs(5000));
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateDeviceUpdate);

    model.findDevice(0x0001)->m_version = 0x010203; // updated
    model.supervise(start.addSecs(1499));
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateDeviceUpdate);
    model.supervise(start.addSecs(1500));
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateIdle);
    QCOMPARE(log.count("update stop"), 1);
}

void tst_ZigBeeDeviceModel::supervisionTimeoutLetsRunEnd()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    const QDateTime start = QDateTime::currentDateTimeUtc();
    harness.services->setSysState(SystemServices::SysStateDeviceUpdate);
    model.startUpdate(start.addSecs(-2000));
    model.addZigBeeDevice(0x0001, 1, 0x010203);
    model.addZigBeeDevice(0x0002, 1, 0x010200);
    ZigBeeDevice* updating = model.findDevice(0x0002);
    updating->m_failCounter = 2;
    updating->m_lastActivity = start;
    updating->setClientState(ZigBeeDevice::eClientStateLoadData);
    harness.services->addToUpdateList(0x0002);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    // Its third failure (the timeout) takes the last device out of the run.
    model.supervise(start.addSecs(31));
    QCOMPARE(updating->m_failCounter, 3);
    QCOMPARE(updating->m_result, ProgressHelper::eResultTimeout);
    QCOMPARE(harness.services->SysState(), SystemServices::SysStateIdle);
    QVERIFY(!changed.isEmpty());
}

void tst_ZigBeeDeviceModel::startAndAbort()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    harness.files->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    model.addZigBeeDevice(0x0001, 1, 0x010200);
    model.addZigBeeDevice(0x0002, 1, 0x010203);
    model.findDevice(0x0001)->m_failCounter = 3;
    model.findDevice(0x0001)->setDone(ProgressHelper::eResultVerifFail);
    model.findDevice(0x0002)->m_progress = 1000;

    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-10);
    model.startUpdate(start);
    QCOMPARE(model.startTime(), start);
    QCOMPARE(model.findDevice(0x0001)->m_progress, 0);
    QCOMPARE(model.findDevice(0x0001)->m_failCounter, 0);
    QCOMPARE(model.findDevice(0x0001)->m_result, ProgressHelper::eResultUnknown);
    QCOMPARE(model.findDevice(0x0002)->m_progress, -1);

    model.setProgress(0, 420);
    model.setDone(0, ProgressHelper::eResultTransfer);
    model.findDevice(0x0002)->m_failCounter = 1;
    model.abortUpdate();
    QCOMPARE(model.findDevice(0x0001)->m_progress, -1);
    QCOMPARE(model.findDevice(0x0001)->m_result, ProgressHelper::eResultTransfer); // results stay
    QCOMPARE(model.findDevice(0x0002)->m_failCounter, 0);
}

void tst_ZigBeeDeviceModel::versionChangedRefreshesType()
{
    StickHarness harness;
    ZigBeeDeviceModel& model = *harness.model;
    model.addZigBeeDevice(0x0001, 1, 0);
    model.addZigBeeDevice(0x0002, 4, 0);
    model.addZigBeeDevice(0x0003, 1, 0);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy repaint(&model, &ZigBeeDeviceModel::deviceDataRepaint);

    model.updateVersionChanged(1);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 0);
    QCOMPARE(changed.at(1).at(0).toModelIndex().row(), 1);
    QCOMPARE(repaint.count(), 1); // the bridge repaints the device box on it
}

QTEST_GUILESS_MAIN(tst_ZigBeeDeviceModel)
#include "tst_zigbeedevicemodel.moc"
