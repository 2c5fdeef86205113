#include <QtTest>

#include "link/CSerialPortHandler.h"
#include "link/FrameCodec.h"
#include "support/Emulator.h"
#include "support/TestFiles.h"
#include "support/TestSettings.h"

namespace {
constexpr int kWaitMs = 5000;
} // namespace

// A COM port as the tool finds, opens and uses it, against a far end that
// plays the stick: scripts/windows/test maps a pseudo-terminal to a COM port
// under Wine, and its far end sends the stick's connect request every half
// second and notes what arrives. LUMORAN_TEST_COM_PORT names the port,
// LUMORAN_TEST_COM_RECEIVED the file that holds what the far end received;
// without them the test is skipped.
class tst_ComPort : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listedAndOpened();
    void frameReachesTheStick();
    void frameFromTheStickArrives();

private:
    QString m_port;
    QString m_received;
    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<CSerialPortHandler> m_handler;
};

void tst_ComPort::initTestCase()
{
    m_port = qEnvironmentVariable("LUMORAN_TEST_COM_PORT");
    m_received = qEnvironmentVariable("LUMORAN_TEST_COM_RECEIVED");
    if (m_port.isEmpty() || m_received.isEmpty())
        QSKIP("no COM port with a far end (LUMORAN_TEST_COM_PORT, LUMORAN_TEST_COM_RECEIVED)");
}

void tst_ComPort::init()
{
    m_settings = std::make_unique<TestSettings>();
    // The machine's list, as the tool enumerates it.
    CSerialPortHandler::setPortListFunction(nullptr);
    m_settings->settings()->setValue("serial/ports", QStringList{m_port});
    m_handler = std::make_unique<CSerialPortHandler>();
}

void tst_ComPort::cleanup()
{
    m_handler.reset();
    m_settings.reset();
}

void tst_ComPort::listedAndOpened()
{
    QVERIFY2(CSerialPortHandler::defaultPortList().contains(m_port),
             qPrintable(CSerialPortHandler::defaultPortList().join(", ")));
    QCOMPARE(m_handler->currentPortName(), m_port);
}

void tst_ComPort::frameReachesTheStick()
{
    // The connect accept, the tool's answer to the stick's connect request.
    const QByteArray wire = FrameCodec::encode(QByteArray::fromHex("02"));
    const QByteArray before = readFile(m_received);
    m_handler->sendFrame(QByteArray::fromHex("02"));
    QTRY_VERIFY_WITH_TIMEOUT(readFile(m_received).mid(before.size()).contains(wire), kWaitMs);
}

void tst_ComPort::frameFromTheStickArrives()
{
    QSignalSpy frames(m_handler.get(), &CSerialPortHandler::receivedFrame);
    if (runsUnderWine())
        QEXPECT_FAIL("",
                     "Wine 8.0 never completes the overlapped WaitCommEvent through which QSerialPort learns that "
                     "bytes arrived",
                     Abort);
    QVERIFY(frames.wait(kWaitMs));
    QCOMPARE(frames.first().first().toByteArray(), QByteArray::fromHex("01"));
}

QTEST_GUILESS_MAIN(tst_ComPort)
#include "tst_comport.moc"
