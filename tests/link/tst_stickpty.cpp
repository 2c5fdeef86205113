#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QtTest>

#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "link/CSerialPortHandler.h"
#include "link/FrameCodec.h"
#include "link/FrameDeframer.h"
#include "link/StickInterface.h"
#include "support/FakeServices.h"
#include "support/PseudoTerminal.h"
#include "support/StickFrames.h"
#include "support/TestSettings.h"

// The stick interface on a real pseudo-terminal: what the stick writes on
// the line is answered on the line.
class tst_StickPty : public QObject
{
    Q_OBJECT
private slots:
    void handshakeAndQueryOnTheLine();
    void linkLossResetsNetworkTexts();

private:
    // Reads from the master end until one whole frame arrived; returns its body.
    static QByteArray readFrame(PseudoTerminal& _pty, QByteArray* _wire = nullptr);
};

QByteArray tst_StickPty::readFrame(PseudoTerminal& _pty, QByteArray* _wire)
{
    FrameDeframer deframer;
    QByteArray body;
    QByteArray wire;
    QElapsedTimer timer;
    timer.start();
    while (body.isNull() && timer.elapsed() < 3000) {
        const QByteArray chunk = _pty.read(20);
        wire += chunk;
        deframer.feed(chunk, [&body](const QByteArray& _body) { body = _body; });
    }
    if (_wire)
        *_wire = wire;
    return body;
}

void tst_StickPty::handshakeAndQueryOnTheLine()
{
    TestSettings settings;
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    settings.settings()->setValue("serial/ports", QStringList{pty.slavePath()});
    QDir().mkpath(getUpdatePath());
    QFile image(getUpdatePath() + "/ctl.ota");
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write(QByteArray(0x12345, 'x'));
    image.close();

    FakeServices services;
    StickInterface* stick = services.stick();
    QVERIFY(stick->serialPortHandler().isPortOpen());
    services.files()->addFirmwareFile(1, "1.2.3", "ctl.ota", 0);
    services.files()->findByDevType(1)->m_fileDigest =
        HeldFileDigest(0x12345, QCryptographicHash::hash(QByteArray(0x12345, 'x'), QCryptographicHash::Sha256).toHex());

    QVERIFY(pty.write(QByteArray::fromHex("7e01f1e17e")));
    QByteArray wire;
    QCOMPARE(readFrame(pty, &wire), QByteArray::fromHex("02"));
    QCOMPARE(wire, QByteArray::fromHex("7e026ad37e"));
    QCOMPARE(stick->linkState(), int(CSerialPortHandler::eStateConnected));

    stick->startDeviceUpdate(true);
    const QByteArray request = StickFrames::command(5, 0x10,
                                                    QByteArray::fromHex("022b1a0102030405060708"
                                                                        "0401"
                                                                        "0b"
                                                                        "1900"
                                                                        "1900"
                                                                        "00"
                                                                        "01"
                                                                        "00"
                                                                        "3d1c"
                                                                        "0100"
                                                                        "00020100"));
    QVERIFY(pty.write(FrameCodec::encode(request)));
    const QByteArray body = readFrame(pty, &wire);
    QCOMPARE(body.size(), 36);
    // The reply of the example, framed: CRC 0x4309 low byte first, nothing to escape.
    QCOMPARE(wire.toHex(), QByteArray("7e040510022b1a01020304050607080401100b1900010102003d1c01000302010045230100"
                                      "09437e"));
}

void tst_StickPty::linkLossResetsNetworkTexts()
{
    TestSettings settings;
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    settings.settings()->setValue("serial/ports", QStringList{pty.slavePath()});
    FakeServices services;
    StickInterface* stick = services.stick();

    QVERIFY(pty.write(QByteArray::fromHex("7e01f1e17e")));
    QCOMPARE(readFrame(pty), QByteArray::fromHex("02"));
    QVERIFY(pty.write(FrameCodec::encode(StickFrames::networkStatus(1, 3, 11, 7, 0x1a2b))));
    QCOMPARE(readFrame(pty), QByteArray::fromHex("0401"));
    QCOMPARE(stick->getText(13), QString("joined <font color=\"grey\">( Ch: 11 | Addr: 1a2b )</font>"));
    QCOMPARE(stick->getText(12), QString("connected"));

    // Six seconds without a byte: the watchdog drops the link and searches again.
    QSignalSpy help(stick, &StickInterface::helpUpdateRequired);
    QTRY_COMPARE_WITH_TIMEOUT(stick->getText(12), QString("searching stick..."), 9000);
    QCOMPARE(stick->getText(13), QString("unknown"));
    QCOMPARE(stick->nwkState(), int(StickInterface::eNwkStateUnknown));
    QVERIFY(!help.isEmpty());
    // Command requests are dropped until the stick connects again.
    QVERIFY(pty.write(FrameCodec::encode(StickFrames::command(2, 0x01))));
    QVERIFY(pty.read(300).isEmpty());
}

QTEST_GUILESS_MAIN(tst_StickPty)
#include "tst_stickpty.moc"
