#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "link/CSerialPortHandler.h"
#include "support/TestSettings.h"

class tst_SysState : public QObject
{
    Q_OBJECT
private slots:
    void constructionEndsIdle();
    void setSysStateRepaintsEveryTime();
    void updateList();
    void firstStartWritesSerialPorts();
};

void tst_SysState::constructionEndsIdle()
{
    TestSettings settings;
    CProg2Gui bridge;
    QCOMPARE(theBridge, static_cast<SystemServices*>(&bridge));
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateIdle);
    QVERIFY(bridge.isSysState(CProg2Gui::SysStateIdle));
    QVERIFY(!bridge.isSysState(CProg2Gui::SysStateInit));
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

    bridge.setSysState(CProg2Gui::SysStateIdle); // the same value repaints again
    QCOMPARE(order, (QStringList{"appl", "stick", "firmware", "device"}));
    bridge.setSysState(CProg2Gui::SysStateDeviceUpdate);
    QCOMPARE(order.size(), 8);
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
