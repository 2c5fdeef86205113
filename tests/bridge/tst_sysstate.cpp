#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "common/RunState.h"
#include "link/CSerialPortHandler.h"
#include "support/TestSettings.h"

class tst_SysState : public QObject
{
    Q_OBJECT
private slots:
    void constructionEndsIdle();
    void transitions_data();
    void transitions();
    void setSysStateRepaintsEveryTime();
    void updateList();
    void firstStartWritesSerialPorts();
};

void tst_SysState::constructionEndsIdle()
{
    TestSettings settings;
    CProg2Gui bridge;
    QCOMPARE(theBridge, &bridge);
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateIdle);
    QVERIFY(bridge.isSysState(CProg2Gui::SysStateIdle));
    QVERIFY(!bridge.isSysState(CProg2Gui::SysStateInit));
}

void tst_SysState::transitions_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("transition");
    QTest::addColumn<int>("to"); // -1: refused, the state stays

    const int init = SystemServices::SysStateInit;
    const int idle = SystemServices::SysStateIdle;
    const int devices = SystemServices::SysStateDeviceUpdate;
    const int stick = SystemServices::SysStateStickUpdate;
    const int download = SystemServices::SysStateUpdateDownload;
    QTest::newRow("ready at start") << init << "ready" << idle;
    QTest::newRow("ready twice") << idle << "ready" << -1;
    QTest::newRow("nothing begins before ready") << init << "beginDeviceRun" << -1;
    QTest::newRow("nothing ends before ready") << init << "end" << -1;
    QTest::newRow("download from idle") << idle << "beginDownload" << download;
    QTest::newRow("device run from idle") << idle << "beginDeviceRun" << devices;
    QTest::newRow("stick update from idle") << idle << "beginStickUpdate" << stick;
    QTest::newRow("idle has nothing to end") << idle << "end" << -1;
    QTest::newRow("device run ends") << devices << "end" << idle;
    QTest::newRow("stick update ends") << stick << "end" << idle;
    QTest::newRow("download ends") << download << "end" << idle;
    QTest::newRow("no stick update over a device run") << devices << "beginStickUpdate" << -1;
    QTest::newRow("no device run over a download") << download << "beginDeviceRun" << -1;
    QTest::newRow("no download over a stick update") << stick << "beginDownload" << -1;
    QTest::newRow("no second device run") << devices << "beginDeviceRun" << -1;
}

void tst_SysState::transitions()
{
    QFETCH(int, from);
    QFETCH(QString, transition);
    QFETCH(int, to);

    RunState state;
    if (from != SystemServices::SysStateInit)
        state.jumpTo(RunState::SysState_t(from));
    QSignalSpy changed(&state, &RunState::changed);
    bool done = false;
    if (transition == "ready")
        done = state.ready();
    else if (transition == "beginDownload")
        done = state.beginDownload();
    else if (transition == "beginDeviceRun")
        done = state.beginDeviceRun();
    else if (transition == "beginStickUpdate")
        done = state.beginStickUpdate();
    else if (transition == "end")
        done = state.end(RunState::eEndCancelled);
    else
        QFAIL("unknown transition");

    QCOMPARE(done, to >= 0);
    QCOMPARE(int(state.state()), to >= 0 ? to : from);
    QCOMPARE(changed.count(), to >= 0 ? 1 : 0);
    if (to >= 0) {
        QCOMPARE(int(changed.at(0).at(0).value<SystemServices::SysState_t>()), from);
        QCOMPARE(int(changed.at(0).at(1).value<SystemServices::SysState_t>()), to);
    }
}

void tst_SysState::setSysStateRepaintsEveryTime()
{
    TestSettings settings;
    CProg2Gui bridge;
    QStringList order;
    connect(&bridge, &CProg2Gui::applDataRepaint, this, [&] { order << "appl"; });
    connect(&bridge, &CProg2Gui::stickDataRepaint, this, [&] { order << "stick"; });
    connect(&bridge, &CProg2Gui::firmwareDataRepaint, this, [&] { order << "firmware"; });
    connect(&bridge, &CProg2Gui::deviceDataRepaint, this, [&] { order << "device"; });
    connect(&bridge, &CProg2Gui::sysStateChanged, this, [&] { order << "state"; });

    bridge.setSysState(CProg2Gui::SysStateIdle); // the same value repaints again
    QCOMPARE(order, (QStringList{"appl", "stick", "firmware", "device", "state"}));
    bridge.setSysState(CProg2Gui::SysStateDeviceUpdate);
    QCOMPARE(order.size(), 10);
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateDeviceUpdate);
    QCOMPARE(int(CProg2Gui::SysStateUpdateDownload), 5);
    QCOMPARE(int(CProg2Gui::SysStateError), 6);
}

void tst_SysState::updateList()
{
    TestSettings settings;
    CProg2Gui bridge;
    bridge.addToUpdateList(0x1234);
    bridge.addToUpdateList(0x0001);
    bridge.addToUpdateList(0x1234);
    QVERIFY(bridge.isInUpdateList(0x0001));
    bridge.removeFromUpdateList(0x1234); // first occurrence only
    QCOMPARE(bridge.updateList(), (QList<ushort>{0x0001, 0x1234}));
    bridge.removeFromUpdateList(0x7777); // absent: nothing happens
    QCOMPARE(bridge.updateList().size(), 2);
    bridge.clearUpdateList();
    QVERIFY(!bridge.isInUpdateList(0x0001));
}

void tst_SysState::firstStartWritesSerialPorts()
{
    TestSettings settings;
    QVERIFY(!settings.settings()->contains("serial/ports"));
    CProg2Gui bridge;
    QVERIFY(settings.settings()->contains("serial/ports"));
    QCOMPARE(settings.settings()->value("serial/ports").toString(), QString());
    QCOMPARE(CSerialPortHandler::pinnedPorts(), QStringList());

    // Hand-written values: a list, or one path.
    settings.settings()->setValue("serial/ports", QStringList{"/dev/ttyACM0", " ", "COM3"});
    QCOMPARE(CSerialPortHandler::pinnedPorts(), (QStringList{"/dev/ttyACM0", "COM3"}));
    CProg2Gui again;
    QCOMPARE(settings.settings()->value("serial/ports").toStringList(), (QStringList{"/dev/ttyACM0", "COM3"}));
}

QTEST_GUILESS_MAIN(tst_SysState)
#include "tst_sysstate.moc"
