#include <QtTest>

#include "devices/ZigBeeDevice.h"
#include "devices/ZigBeeDeviceModel.h"
#include "support/LogCapture.h"
#include "support/StickHarness.h"

// One device record: client states and their timeouts, silence detection,
// transfer timing and texts. Times are constructed, never waited for.
class tst_ZigBeeDevice : public QObject
{
    Q_OBJECT
private slots:
    void sameStateOnlyRenewsTimeout();
    void silence_data();
    void silence();
    void timeoutDuringTransfer();
    void transferTiming_data();
    void transferTiming();
    void texts();
    void timeSinceActivity_data();
    void timeSinceActivity();
    void selectionDuringRun();
};

using State = ZigBeeDevice::eClientState_t;

void tst_ZigBeeDevice::sameStateOnlyRenewsTimeout()
{
    StickHarness harness;
    harness.model->addZigBeeDevice(0x1a2b, 1, 0x010200);
    ZigBeeDevice* device = harness.model->findDevice(0x1a2b);
    QSignalSpy changed(harness.model, &QAbstractItemModel::dataChanged);
    LogCapture log;

    harness.model->setClientState(0x1a2b, ZigBeeDevice::eClientStateLoadData);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(log.lines().filter("clientState 'loads data...' (was 'unknown') timeout 30 at").size(), 1);

    device->m_timeout = 5;
    log.clear();
    harness.model->setClientState(0x1a2b, ZigBeeDevice::eClientStateLoadData);
    QCOMPARE(device->m_timeout, 30);
    QCOMPARE(changed.count(), 1);
    QVERIFY(log.lines().isEmpty());
}

void tst_ZigBeeDevice::silence_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("silentSeconds");
    QTest::addColumn<bool>("timesOut");
    QTest::newRow("load data, 30 s") << 6 << 30 << false;
    QTest::newRow("load data, 31 s") << 6 << 31 << true;
    QTest::newRow("prepare, 121 s") << 3 << 121 << true;
    QTest::newRow("wait, 300 s") << 1 << 300 << false;
    QTest::newRow("no image, a day") << 2 << 86400 << false;
}

void tst_ZigBeeDevice::silence()
{
    QFETCH(int, state);
    QFETCH(int, silentSeconds);
    QFETCH(bool, timesOut);

    StickHarness harness;
    const QDateTime heard = QDateTime::currentDateTimeUtc();
    harness.model->addZigBeeDevice(0x00ab, 1, 0x010200);
    ZigBeeDevice* device = harness.model->findDevice(0x00ab);
    device->m_lastActivity = heard;
    device->setClientState(State(state));
    device->m_progress = 350;
    device->m_failCounter = 1;
    device->setDone(ProgressHelper::eResultTransfer);

    LogCapture log;
    harness.model->supervise(heard.addSecs(silentSeconds));
    QCOMPARE(device->m_clientState == ZigBeeDevice::eClientStateNoActivity, timesOut);
    QCOMPARE(log.contains("timeout 00ab"), timesOut);
    QCOMPARE(log.contains("no activity 00ab"), timesOut);
    // Not in the update list: result, fail counter and progress stay.
    QCOMPARE(device->m_result, ProgressHelper::eResultTransfer);
    QCOMPARE(device->m_failCounter, 1);
    QCOMPARE(device->m_progress, 350);

    // An inactive device times out once per silence.
    if (timesOut) {
        log.clear();
        QVERIFY(!device->checkForTimeout(heard.addSecs(silentSeconds + 1000)));
        QVERIFY(!log.contains("timeout 00ab"));
    }
}

void tst_ZigBeeDevice::timeoutDuringTransfer()
{
    StickHarness harness;
    const QDateTime heard = QDateTime::currentDateTimeUtc();
    harness.model->addZigBeeDevice(0x1a2b, 1, 0x010200);
    ZigBeeDevice* device = harness.model->findDevice(0x1a2b);
    harness.services->addToUpdateList(0x1a2b);
    device->m_lastActivity = heard;
    device->setClientState(ZigBeeDevice::eClientStateLoadData);
    device->startTiming(heard);

    LogCapture log;
    harness.model->supervise(heard.addSecs(31));
    QVERIFY(!harness.services->isInUpdateList(0x1a2b));
    QCOMPARE(device->m_result, ProgressHelper::eResultTimeout);
    QCOMPARE(device->resultText(), QString("Timeout"));
    QCOMPARE(device->m_failCounter, 1);
    QCOMPARE(device->m_updateDuration, -1);
    QVERIFY(device->m_updateStart.isNull());
    QVERIFY(log.contains("no activity 1a2b - was in update list"));
}

void tst_ZigBeeDevice::transferTiming_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("duration");
    QTest::newRow("41 s") << 41 << -1;
    QTest::newRow("42 s") << 42 << 42;
    QTest::newRow("three hours") << 10800 << 10800;
    QTest::newRow("more than three hours") << 10801 << -1;
}

void tst_ZigBeeDevice::transferTiming()
{
    QFETCH(int, seconds);
    QFETCH(int, duration);
    const QDateTime start = QDateTime::currentDateTimeUtc();
    ZigBeeDevice device(1, 1, 0);

    device.stopTiming(start.addSecs(seconds)); // never started: nothing measured
    QCOMPARE(device.m_updateDuration, -1);

    device.startTiming(start);
    QCOMPARE(device.m_updateDuration, 0);
    device.stopTiming(start.addSecs(seconds));
    QCOMPARE(device.m_updateDuration, duration);

    device.resetTiming();
    QCOMPARE(device.m_updateDuration, -1);
    QVERIFY(device.m_updateStart.isNull());
}

void tst_ZigBeeDevice::texts()
{
    ZigBeeDevice device(0x00ab, 2, 0x010200);
    QCOMPARE(device.name(), QString("00ab"));
    QVERIFY(device.isBatteryPowered());
    QVERIFY(!ZigBeeDevice(0xab00, 1, 0).isBatteryPowered());

    device.m_lastActivity = QDateTime::currentDateTimeUtc().addSecs(-5);
    device.setClientState(ZigBeeDevice::eClientStateNoActivity);
    QCOMPARE(device.clientStateText(), QString("no activity since 05s"));
    QCOMPARE(device.clientStateName(), QString("eClientStateNoActivity"));

    LogCapture log;
    device.setDone(ProgressHelper::eResultTimeout);
    QCOMPARE(device.resultName(), QString("wrong_eResult"));
    QVERIFY(log.contains("dev 00ab eResult wrong_eResult"));
}

void tst_ZigBeeDevice::timeSinceActivity_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("7 s") << 7 << "07s";
    QTest::newRow("59 s") << 59 << "59s";
    QTest::newRow("60 s") << 60 << "1min";
    QTest::newRow("3599 s") << 3599 << "59min";
    QTest::newRow("3600 s") << 3600 << "1h 0min";
    QTest::newRow("26 h 2 min") << 26 * 3600 + 125 << "26h 2min";
}

void tst_ZigBeeDevice::timeSinceActivity()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    ZigBeeDevice device(1, 1, 0);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Fractions of a second are cut off.
    device.m_lastActivity = now.addMSecs(-qint64(seconds) * 1000 - 999);
    QCOMPARE(device.timeSinceActivityText(now), text);
}

void tst_ZigBeeDevice::selectionDuringRun()
{
    ZigBeeDevice device(1, 1, 0);

    device.setSelected(true, false); // outside a run progress is left alone
    QCOMPARE(device.m_progress, -1);

    device.setSelected(true, true);
    QCOMPARE(device.m_progress, 0);
    device.setSelected(false, true);
    QCOMPARE(device.m_progress, -1);
    device.m_progress = 350;
    device.setSelected(false, true);
    QCOMPARE(device.m_progress, 350);
    QVERIFY(!device.m_selected);
}

QTEST_GUILESS_MAIN(tst_ZigBeeDevice)
#include "tst_zigbeedevice.moc"
