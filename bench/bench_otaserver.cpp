// Handling time of OTA requests, from the received frame body (rxFrame) to
// the framed reply handed to the serial port, with a real image file on disk
// and a real pseudo-terminal as the port. Log lines are formatted as usual
// and then dropped, so the figures do not measure a terminal. The device list
// holds 1, 10, 100 or 1000 devices; the measured device sorts last, so every
// lookup of it walks the whole list. The budgets hold for every size.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include "bridge/ToolCore.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"
#include "link/OtaRecords.h"
#include "link/StickInterface.h"

using namespace OtaRecords;

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&)
{}

// The master end of a pseudo-terminal whose slave is the stick's port.
class Line
{
public:
    Line()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        termios tio{};
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

// Settings in a temporary folder, a 100 kB image of type 1, the tool's core
// (no index download) whose stick is connected on a pseudo-terminal.
struct Setup
{
    static constexpr int kImageSize = 100000;
    // The measured devices: type 1 with the highest addresses, so they sort
    // after every other device.
    static constexpr quint16 kServed = 0xFFF0;
    static constexpr quint16 kWaiting = 0xFFF1;

    QTemporaryDir dir;
    QSettings settings{dir.path() + "/bench.ini", QSettings::IniFormat};
    Line line;
    ToolCore* core = nullptr;
    StickInterface* stick = nullptr;
    quint8 seq = 0;

    Setup()
    {
        setSettings(&settings);
        settings.setValue("serial/ports", QStringList{line.slave()});
        QDir().mkpath(getUpdatePath());
        QFile image(getUpdatePath() + "/ctl.ota");
        if (image.open(QIODevice::WriteOnly))
            image.write(QByteArray(kImageSize, 'i'));
        image.close();
        core = new ToolCore(ToolCore::eNoIndexFetch);
        stick = core->stick();
        core->files()->addFirmwareFile(1, "1.2.3", "ctl.ota", 300);
        // The image written above, as verified.
        core->files()->findByDevType(1)->m_fileDigest = HeldFileDigest(
            kImageSize, QCryptographicHash::hash(QByteArray(kImageSize, 'i'), QCryptographicHash::Sha256).toHex());
        stick->rxFrame(QByteArray(1, char(0x01)));
        line.drain();
    }
    ~Setup()
    {
        delete core;
        setSettings(nullptr);
    }

    // _count - 1 other devices of types 1 and 2 that already run the offered
    // version, so they take no part in the run; they sort before the measured ones.
    void addOtherDevices(int _count)
    {
        ZigBeeDeviceModel* model = core->devices();
        for (int i = 1; i < _count; ++i)
            model->addZigBeeDevice(quint16(i), quint16(i % 2 == 0 ? 2 : 1), 0x010203);
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
    setup.addOtherDevices(int(state.range(0)));
    setup.stick->startDeviceUpdate(true);
    QByteArray query = queryNextImage(Setup::kServed, 0x010200);
    setup.send(query); // started: the only device in the update list
    if (setup.core->devices()->rowOf(Setup::kServed) != state.range(0) - 1)
        state.SkipWithError("the served device is not the last row");

    // Blocks all through the image except the last one.
    const quint32 blocks = (Setup::kImageSize - 40) / 40;
    quint32 block = 0;
    QByteArray frame = imageBlock(Setup::kServed, 0);
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
    if (served != int(state.iterations()))
        state.SkipWithError("not every request was served a full block");
    state.counters["devices"] = double(state.range(0));
    state.counters["budget_us"] = 20;
}

enum class Phase_t
{
    OutsideRun,
    // Another device is being updated, in the first 25 minutes of the run.
    WaitingEarly,
    // The same after 25 minutes: every request also asks whether any device
    // is left to update.
    WaitingLate,
};

void BM_QueryNextImage(benchmark::State& state, Phase_t _phase)
{
    Setup setup;
    setup.addOtherDevices(int(state.range(0)) - 1);
    QByteArray query = queryNextImage(Setup::kServed, 0x010200);
    if (_phase != Phase_t::OutsideRun) {
        setup.stick->startDeviceUpdate(true);
        if (_phase == Phase_t::WaitingLate)
            setup.core->devices()->startUpdate(QDateTime::currentDateTimeUtc().addSecs(-2000));
    }
    setup.send(query); // kServed: started during a run, else only known
    QByteArray waiting = queryNextImage(Setup::kWaiting, 0x010200);
    setup.send(waiting); // from here on a known device
    if (setup.core->devices()->rowOf(Setup::kWaiting) != state.range(0) - 1)
        state.SkipWithError("the measured device is not the last row");
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
    if (_phase != Phase_t::OutsideRun && !setup.core->runState().is(SystemServices::SysStateDeviceUpdate))
        state.SkipWithError("the run ended");
    state.counters["devices"] = double(state.range(0));
    state.counters["budget_us"] = 20;
}

} // namespace

BENCHMARK(BM_ImageBlock)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_QueryNextImage, outside_run, Phase_t::OutsideRun)
    ->Arg(2)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_QueryNextImage, waiting_in_run, Phase_t::WaitingEarly)
    ->Arg(2)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_QueryNextImage, waiting_after_25min, Phase_t::WaitingLate)
    ->Arg(2)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(dropMessages);
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
