// Handling time of OTA requests, from the received frame body (rxFrame) to
// the framed reply handed to the serial port, with a real image file on disk
// and a real pseudo-terminal as the port. Log lines are formatted as usual
// and then dropped, so the figures do not measure a terminal.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "bridge/CProg2Gui.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "link/CSerialPortHandler.h"
#include "link/OtaRecords.h"
#include "link/StickInterface.h"

using namespace OtaRecords;

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// The master end of a pseudo-terminal whose slave is the stick's port.
class Line
{
public:
    Line()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        termios tio {};
        if (tcgetattr(m_master, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(m_master, TCSANOW, &tio);
        }
        m_slave = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~Line()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    QString slave() const { return m_slave; }

    // Lets the port write what it buffered and throws it away.
    void drain()
    {
        char buffer[65536];
        int quiet = 0;
        while (quiet < 3) {
            QCoreApplication::processEvents();
            const ssize_t n = ::read(m_master, buffer, sizeof(buffer));
            quiet = n > 0 ? 0 : quiet + 1;
        }
    }

private:
    int m_master = -1;
    QString m_slave;
};

QByteArray indication(quint16 _shortAddr, quint8 _commandId)
{
    QByteArray payload;
    appendU8(payload, 0x02);
    appendU16(payload, _shortAddr);
    payload += QByteArray::fromHex("0102030405060708");
    appendU16(payload, 0x0104);
    appendU8(payload, 0x0B);
    appendU16(payload, 0x0019);
    appendU16(payload, 0x0019);
    appendU8(payload, 0x00);
    appendU8(payload, _commandId);
    return payload;
}

QByteArray queryNextImage(quint16 _shortAddr, quint32 _version)
{
    QByteArray frame = QByteArray::fromHex("030010") + indication(_shortAddr, 0x01);
    appendU8(frame, 0x00);
    appendU16(frame, kManufacturerCode);
    appendU16(frame, 1);
    appendU32(frame, _version);
    return frame;
}

QByteArray imageBlock(quint16 _shortAddr, quint32 _offset)
{
    QByteArray frame = QByteArray::fromHex("030010") + indication(_shortAddr, 0x03);
    appendU8(frame, 0x00);
    appendU16(frame, kManufacturerCode);
    appendU16(frame, 1);
    appendU32(frame, 0x010203);
    appendU32(frame, _offset);
    appendU8(frame, 64);
    return frame;
}

// Settings in a temporary folder, a 100 kB image of type 1, a bridge whose
// stick is connected on a pseudo-terminal.
struct Setup
{
    static constexpr int kImageSize = 100000;

    QTemporaryDir dir;
    QSettings settings {dir.path() + "/bench.ini", QSettings::IniFormat};
    Line line;
    CProg2Gui* bridge = nullptr;
    StickInterface* stick = nullptr;
    quint8 seq = 0;

    Setup()
    {
        setSettings(&settings);
        settings.setValue("serial/ports", QStringList {line.slave()});
        QDir().mkpath(getUpdatePath());
        QFile image(getUpdatePath() + "/ctl.ota");
        if (image.open(QIODevice::WriteOnly))
            image.write(QByteArray(kImageSize, 'i'));
        image.close();
        bridge = new CProg2Gui;
        stick = bridge->stickInterface();
        theFileModel->addFirmwareFile(1, "1.2.3", "ctl.ota", 300);
        stick->rxFrame(QByteArray(1, char(0x01)));
        line.drain();
    }
    ~Setup()
    {
        delete bridge;
        setSettings(nullptr);
    }

    // Every request needs a new sequence number, or it is taken for a repetition.
    void send(QByteArray& _frame)
    {
        _frame[1] = char(++seq);
        stick->rxFrame(_frame);
    }
};

void BM_ImageBlock(benchmark::State& state)
{
    Setup setup;
    setup.stick->startDeviceUpdate(true);
    QByteArray query = queryNextImage(0x1a2b, 0x010200);
    setup.send(query); // started: the only device in the update list

    // Blocks all through the image except the last one.
    const quint32 blocks = (Setup::kImageSize - 40) / 40;
    quint32 block = 0;
    QByteArray frame = imageBlock(0x1a2b, 0);
    // Counts the replies that carry 40 bytes with SUCCESS, to show the
    // figures are those of blocks really served.
    int served = 0;
    QObject::connect(setup.stick, &StickInterface::frameSent, [&served](const QByteArray& _body) {
        served += (_body.size() == 23 + 14 + 40 && _body.at(23) == 0) ? 1 : 0;
    });
    int sinceDrain = 0;
    for (auto _ : state) {
        const quint32 offset = (block++ % blocks) * 40;
        // The file offset: after the type, sequence number, command code,
        // the 20-byte indication and 9 bytes of request.
        frame[32] = char(offset & 0xFF);
        frame[33] = char((offset >> 8) & 0xFF);
        frame[34] = char((offset >> 16) & 0xFF);
        setup.send(frame);
        if (++sinceDrain == 256) {
            state.PauseTiming();
            setup.line.drain();
            sinceDrain = 0;
            state.ResumeTiming();
        }
    }
    state.counters["served_share"] = double(served) / double(state.iterations());
    state.counters["budget_us"] = 20;
}

void BM_QueryNextImage(benchmark::State& state, bool _inRun)
{
    Setup setup;
    QByteArray query = queryNextImage(0x0001, 0x010200);
    if (_inRun) {
        setup.stick->startDeviceUpdate(true);
        setup.send(query); // 0x0001 is started; the measured device waits
    }
    QByteArray waiting = queryNextImage(0x0002, 0x010200);
    int sinceDrain = 0;
    for (auto _ : state) {
        setup.send(waiting);
        if (++sinceDrain == 256) {
            state.PauseTiming();
            setup.line.drain();
            sinceDrain = 0;
            state.ResumeTiming();
        }
    }
    state.counters["budget_us"] = 20;
}

} // namespace

BENCHMARK(BM_ImageBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_QueryNextImage, waiting_during_run, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_QueryNextImage, outside_run, false)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(dropMessages);
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
