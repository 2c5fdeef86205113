#include <QtTest>

#include "bridge/HelpTexts.h"
#include "support/LogCapture.h"
#include "tst_bridge.h"

// The help box and the server status line for every state of the tool.

void tst_Bridge::helpForEveryState_data()
{
    QTest::addColumn<int>("sysState");
    QTest::addColumn<int>("nwkState"); // -1: no stick; 4: connected, no status yet
    QTest::addColumn<int>("helpId");

    const int idle = CProg2Gui::SysStateIdle;
    QTest::newRow("init") << int(CProg2Gui::SysStateInit) << 3 << 1001;
    QTest::newRow("idle, no stick") << idle << -1 << 1001;
    QTest::newRow("idle, network unknown") << idle << 4 << 1001;
    QTest::newRow("idle, disconnected") << idle << 0 << 1002;
    QTest::newRow("idle, discovering") << idle << 1 << 1002;
    QTest::newRow("idle, discovery failed") << idle << 2 << 1003;
    QTest::newRow("idle, joined") << idle << 3 << 1004;
    QTest::newRow("device update") << int(CProg2Gui::SysStateDeviceUpdate) << 3 << 1006;
    QTest::newRow("stick update") << int(CProg2Gui::SysStateStickUpdate) << 3 << 1005;
    QTest::newRow("tool update") << int(CProg2Gui::SysStateProgUpdate) << 3 << 1007;
    QTest::newRow("file download") << int(CProg2Gui::SysStateUpdateDownload) << 3 << 1000;
    QTest::newRow("error") << int(CProg2Gui::SysStateError) << 3 << 1000;
}

void tst_Bridge::helpForEveryState()
{
    QFETCH(int, sysState);
    QFETCH(int, nwkState);
    QFETCH(int, helpId);

    BridgeHarness harness;
    CProg2Gui& bridge = *harness.bridge;
    QCOMPARE(bridge.helpId(), 1001); // end of construction, no stick
    if (nwkState >= 0)
        harness.connectStick();

    // The state alone does not change the help; the stick's request does.
    bridge.setSysState(CProg2Gui::SysState_t(sysState));
    QSignalSpy helpBox(&bridge, &CProg2Gui::helpBoxHelperChanged);
    LogCapture log;
    if (nwkState >= 0 && nwkState != StickInterface::eNwkStateUnknown)
        harness.exchange(nwkStatus(quint8(nwkState)));
    else
        bridge.updateHelp();
    QCOMPARE(bridge.helpId(), helpId);
    QVERIFY(helpBox.count() >= 1);
    QCOMPARE(helpBox.last().at(0).toString(), QString());

    const QString text = bridge.getText(CProg2Gui::HelpBoxTxt_ValId);
    if (helpId == 1000) {
        QCOMPARE(text, QString());
        QVERIFY(log.contains(QString("wrong sys state: %1").arg(sysState)));
    } else {
        QVERIFY(text.startsWith("<table><tr>"));
        QVERIFY(text.endsWith("</tr></table>"));
        QVERIFY(!log.contains("wrong sys state"));
    }
}

void tst_Bridge::helpTexts()
{
    BridgeHarness harness;
    CProg2Gui& bridge = *harness.bridge;
    const QString connect = bridge.getText(CProg2Gui::HelpBoxTxt_ValId);
    QVERIFY(connect.contains("Connect a Lumoran USB stick with a computer."));
    QVERIFY(connect.contains("<img src=\"qrc:/pic/help_stick.png\">"));
    QVERIFY(connect.contains("Actuate the <em>\"Download\"</em> button."));

    // A port the user may not use: the command that lets them, with the
    // port's group and the user; one held by another program: the port.
    const QString denied = HelpTexts::portProblem(CProg2Gui::HelpPortNoAccess, "/dev/ttyUSB0", "dialout", "alice");
    QVERIFY(denied.contains("<tt>sudo usermod -a -G dialout alice</tt>"));
    QVERIFY(denied.contains("/dev/ttyUSB0"));
    QVERIFY(!HelpTexts::portProblem(CProg2Gui::HelpPortNoAccess, "COM3", "", "alice").contains("usermod"));
    const QString held = HelpTexts::portProblem(CProg2Gui::HelpPortInUse, "/dev/ttyUSB0", "dialout", "alice");
    QVERIFY(held.contains("/dev/ttyUSB0"));
    QVERIFY(!held.contains("usermod"));
    for (const int problem :
         {int(CSerialPortHandler::eOpenProblemNoAccess), int(CSerialPortHandler::eOpenProblemInUse)}) {
        const int expected =
            problem == CSerialPortHandler::eOpenProblemInUse ? CProg2Gui::HelpPortInUse : CProg2Gui::HelpPortNoAccess;
        QCOMPARE(HelpTexts::helpIdFor(CProg2Gui::SysStateIdle, false, -1, problem), expected);
        // A connected stick needs no port any more.
        QCOMPARE(HelpTexts::helpIdFor(CProg2Gui::SysStateIdle, true, StickInterface::eNwkStateJoined, problem),
                 int(CProg2Gui::HelpReadyForUpdate));
    }

    harness.connectStick();
    harness.exchange(nwkStatus(StickInterface::eNwkStateDiscoveryFailed));
    QCOMPARE(bridge.getText(CProg2Gui::HelpBoxTxt_ValId),
             QString("<table><tr><td><img src=\"qrc:/pic/help_hint.png\"></td><td>"
                     "The Lumoran USB stick was not able to enter a ZLL network.<br><br>"
                     "Actuate the <em>\"Join new network\"</em> button again.</td></tr></table>"));

    bridge.setSysState(CProg2Gui::SysStateStickUpdate);
    bridge.updateHelp();
    QCOMPARE(bridge.getText(CProg2Gui::HelpBoxTxt_ValId),
             QString("<table><tr><td><img src=\"qrc:/pic/help_wait.png\"></td><td>"
                     "Wait until stick is updated. This may take several minutes.</td></tr></table>"));
}

void tst_Bridge::serverStatusText_data()
{
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");

    const int fail = ProgressHelper::eResultFail;
    const int ok = ProgressHelper::eResultSuccess;
    const int auth = ProgressHelper::eResultAuthFail;
    QTest::newRow("no connection wins") << 99 << ok << int(CProg2Gui::eUpdateXmlStateOk)
                                        << "No connection to update server";
    QTest::newRow("not on server") << 203 << fail << int(CProg2Gui::eUpdateXmlStateWrong)
                                   << "Update information not available on server";
    QTest::newRow("refused") << 1 << fail << int(CProg2Gui::eUpdateXmlStateWrong)
                             << "Error during downloading update information";
    QTest::newRow("signature") << 0 << auth << int(CProg2Gui::eUpdateXmlStateWrong)
                               << "Could not authentificate update information";
    QTest::newRow("contacted") << 0 << ok << int(CProg2Gui::eUpdateXmlStateOk) << "Update server contacted";
    QTest::newRow("late after time-out") << 0 << ok << int(CProg2Gui::eUpdateXmlStateTimeout)
                                         << "Update server contacted";
    QTest::newRow("time-out") << 0 << fail << int(CProg2Gui::eUpdateXmlStateTimeout) << "Server does not respond";
    QTest::newRow("not valid") << 0 << fail << int(CProg2Gui::eUpdateXmlStateWrong)
                               << "Update information not valid on server";
    QTest::newRow("contacting") << 0 << fail << int(CProg2Gui::eUpdateXmlStateUnknown) << "Contacting server...";
}

void tst_Bridge::serverStatusText()
{
    QFETCH(int, errorCode);
    QFETCH(int, result);
    QFETCH(int, state);
    QFETCH(QString, text);
    QCOMPARE(
        CProg2Gui::serverStatusText(errorCode, ProgressHelper::_eResult_t(result), CProg2Gui::UpdateXmlState_t(state)),
        text);
}
