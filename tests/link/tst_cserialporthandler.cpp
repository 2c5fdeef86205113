#include <QtTest>

#include "link/CSerialPortHandler.h"
#include "link/FrameCodec.h"
#include "support/LogCapture.h"
#include "support/PseudoTerminal.h"
#include "support/TestSettings.h"

// The serial port handler against real pseudo-terminals, pinned through the
// "serial/ports" setting.
class tst_CSerialPortHandler : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void framesArriveFromTheLine();
    void sendFrameWritesTheWireFormat();
    void unopenablePortIsSkipped();
    void openProblem_data();
    void openProblem();
    void portHeldByAnotherProgram();
    void pinnedPortsReplaceEnumeration();
    void watchdogStartsANewSearch();
    void setStateConnectedTwiceIsQuiet();
    void noPortsReenumeratesEveryTick();

private:
    std::unique_ptr<TestSettings> m_settings;
};

void tst_CSerialPortHandler::init()
{
    m_settings = std::make_unique<TestSettings>();
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
}

void tst_CSerialPortHandler::cleanup()
{
    CSerialPortHandler::setPortListFunction(nullptr);
    m_settings.reset();
}

void tst_CSerialPortHandler::framesArriveFromTheLine()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    m_settings->settings()->setValue("serial/ports", QStringList{pty.slavePath()});

    CSerialPortHandler handler;
    QVERIFY(handler.isPortOpen());
    QSignalSpy frames(&handler, &CSerialPortHandler::receivedFrame);

    QVERIFY(pty.write(QByteArray::fromHex("7e 01 f1 e1 7e")));
    QVERIFY(frames.wait(2000));
    QCOMPARE(frames.takeFirst().at(0).toByteArray(), QByteArray::fromHex("01"));

    // One frame split over three writes is delivered once, complete.
    const QByteArray wire = FrameCodec::encode(QByteArray::fromHex("03 07 10 7e 7d 00"));
    QVERIFY(pty.write(wire.left(2)));
    pty.read(100);
    QVERIFY(pty.write(wire.mid(2, 3)));
    pty.read(100);
    QCOMPARE(frames.count(), 0);
    QVERIFY(pty.write(wire.mid(5)));
    QTRY_COMPARE_WITH_TIMEOUT(frames.count(), 1, 2000);
    QCOMPARE(frames.takeFirst().at(0).toByteArray(), QByteArray::fromHex("03 07 10 7e 7d 00"));

    // Garbage and a bad frame in one chunk do not hide the good frame after them.
    QVERIFY(pty.write(QByteArray::fromHex("aa 7e 01 f1 e2 7e 7e 02 6a d3 7e")));
    QTRY_COMPARE_WITH_TIMEOUT(frames.count(), 1, 2000);
    QCOMPARE(frames.takeFirst().at(0).toByteArray(), QByteArray::fromHex("02"));
}

void tst_CSerialPortHandler::sendFrameWritesTheWireFormat()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    m_settings->settings()->setValue("serial/ports", QStringList{pty.slavePath()});

    CSerialPortHandler handler;
    QVERIFY(handler.isPortOpen());
    handler.sendFrame(QByteArray::fromHex("04 7e"));
    QCOMPARE(pty.readAtLeast(7, 2000), QByteArray::fromHex("7e 04 7d 5e de f2 7e"));
    handler.sendFrame(QByteArray::fromHex("02"));
    QCOMPARE(pty.readAtLeast(5, 2000), QByteArray::fromHex("7e 02 6a d3 7e"));
}

void tst_CSerialPortHandler::unopenablePortIsSkipped()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    m_settings->settings()->setValue("serial/ports", QStringList{"/nonexistent/ttyLumoran0", pty.slavePath()});

    LogCapture log;
    CSerialPortHandler handler;
    QVERIFY(handler.isPortOpen());
    QCOMPARE(handler.currentPortName(), pty.slavePath());
    QVERIFY(log.contains("unable to open serial port /nonexistent/ttyLumoran0; idx 0"));
    QVERIFY(log.contains(QString("serial port %1 open; idx 1").arg(pty.slavePath())));
}

void tst_CSerialPortHandler::openProblem_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("userHasAccess");
    QTest::addColumn<int>("problem");
    QTest::newRow("refused, the user may not")
        << int(QSerialPort::PermissionError) << false << int(CSerialPortHandler::eOpenProblemNoAccess);
    QTest::newRow("refused, the user may")
        << int(QSerialPort::PermissionError) << true << int(CSerialPortHandler::eOpenProblemInUse);
    QTest::newRow("no such device") << int(QSerialPort::DeviceNotFoundError) << false
                                    << int(CSerialPortHandler::eOpenProblemNone);
    QTest::newRow("device fails") << int(QSerialPort::ResourceError) << true
                                  << int(CSerialPortHandler::eOpenProblemNone);
}

// Why a port did not open, from its error and the user's rights on its device file.
void tst_CSerialPortHandler::openProblem()
{
    QFETCH(int, error);
    QFETCH(bool, userHasAccess);
    QFETCH(int, problem);
    QCOMPARE(int(CSerialPortHandler::classifyOpenError(QSerialPort::SerialPortError(error), userHasAccess)), problem);
}

// A port another program holds is reported as held, not as a missing stick,
// until the other program lets it go.
void tst_CSerialPortHandler::portHeldByAnotherProgram()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    m_settings->settings()->setValue("serial/ports", QStringList{pty.slavePath()});
    QSerialPort other(pty.slavePath());
    QVERIFY(other.open(QIODevice::ReadWrite));

    CSerialPortHandler handler;
    QVERIFY(!handler.isPortOpen());
    QCOMPARE(handler.state(), int(CSerialPortHandler::eStateSearching));
    QCOMPARE(handler.openProblem(), CSerialPortHandler::eOpenProblemInUse);
    QCOMPARE(handler.problemPortLocation(), pty.slavePath());

    QSignalSpy changed(&handler, &CSerialPortHandler::stateChanged);
    other.close();
    QTRY_VERIFY_WITH_TIMEOUT(handler.isPortOpen(), 2 * CSerialPortHandler::kSearchIntervalMs);
    QCOMPARE(handler.openProblem(), CSerialPortHandler::eOpenProblemNone);
    QVERIFY(changed.count() >= 1);
}

void tst_CSerialPortHandler::pinnedPortsReplaceEnumeration()
{
    PseudoTerminal pinned;
    PseudoTerminal enumerated;
    QVERIFY(pinned.isValid() && enumerated.isValid());
    const QString enumeratedPath = enumerated.slavePath();
    CSerialPortHandler::setPortListFunction([enumeratedPath] { return QStringList{enumeratedPath}; });

    {
        CSerialPortHandler handler;
        QCOMPARE(handler.currentPortName(), enumeratedPath);
    }
    m_settings->settings()->setValue("serial/ports", QStringList{pinned.slavePath()});
    CSerialPortHandler handler;
    QCOMPARE(handler.currentPortName(), pinned.slavePath());
}

void tst_CSerialPortHandler::watchdogStartsANewSearch()
{
    PseudoTerminal first;
    PseudoTerminal second;
    QVERIFY(first.isValid() && second.isValid());
    m_settings->settings()->setValue("serial/ports", QStringList{first.slavePath(), second.slavePath()});

    CSerialPortHandler handler;
    QCOMPARE(handler.currentPortName(), first.slavePath());

    // After 3 s without a connect request the next port is tried.
    QTRY_COMPARE_WITH_TIMEOUT(handler.currentPortName(), second.slavePath(), 4500);

    QSignalSpy changes(&handler, &CSerialPortHandler::stateChanged);
    QList<int> states;
    connect(&handler, &CSerialPortHandler::stateChanged, this, [&] { states << handler.state(); });
    handler.setState(CSerialPortHandler::eStateConnected);
    QCOMPARE(states, QList<int>{1});

    // Bytes keep the link alive; then 6 s of silence.
    QTest::qWait(3000);
    QVERIFY(second.write(QByteArray::fromHex("00")));
    QTest::qWait(4000);
    QCOMPARE(handler.state(), int(CSerialPortHandler::eStateConnected));

    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 3, 4000);
    QCOMPARE(states, (QList<int>{1, 2, 0}));
    // The new search starts from the first port.
    QCOMPARE(handler.currentPortName(), first.slavePath());
    QVERIFY(handler.isPortOpen());
}

void tst_CSerialPortHandler::setStateConnectedTwiceIsQuiet()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    m_settings->settings()->setValue("serial/ports", QStringList{pty.slavePath()});
    CSerialPortHandler handler;
    handler.setState(CSerialPortHandler::eStateConnected);
    QSignalSpy changes(&handler, &CSerialPortHandler::stateChanged);
    handler.setState(CSerialPortHandler::eStateConnected);
    QCOMPARE(changes.count(), 0);
}

void tst_CSerialPortHandler::noPortsReenumeratesEveryTick()
{
    int enumerations = 0;
    CSerialPortHandler::setPortListFunction([&enumerations] {
        ++enumerations;
        return QStringList();
    });
    LogCapture log;
    CSerialPortHandler handler;
    QCOMPARE(enumerations, 1);
    QTRY_VERIFY_WITH_TIMEOUT(enumerations >= 2, 4500);
    QVERIFY(!handler.isPortOpen());
    QCOMPARE(handler.state(), int(CSerialPortHandler::eStateSearching));
    QVERIFY(log.contains("m_portIndex 0, m_serialPortList.size() 0"));
}

QTEST_GUILESS_MAIN(tst_CSerialPortHandler)
#include "tst_cserialporthandler.moc"
