// The device list with 1000 devices: adding them, one supervision tick and
// the summary texts the window polls during a run.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QSettings>
#include <QTemporaryDir>

#include "bridge/CProg2Gui.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"

namespace {

constexpr int kDevices = 1000;

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// Device i: a spread of addresses over the types 1, 2 and 4.
ushort addressOf(int _i)
{
    return ushort((_i * 7919) & 0xFFFF);
}

ushort typeOf(int _i)
{
    static const ushort types[] = {1, 2, 4};
    return types[_i % 3];
}

struct Setup
{
    QTemporaryDir dir;
    QSettings settings {dir.path() + "/bench.ini", QSettings::IniFormat};
    CProg2Gui* bridge = nullptr;
    ZigBeeDeviceModel* model = nullptr;

    Setup()
    {
        setSettings(&settings);
        bridge = new CProg2Gui;
        model = bridge->deviceModel();
        theFileModel->addFirmwareFile(1, "1.2.3", "ctl.ota", 300);
        theFileModel->addFirmwareFile(2, "1.2.3", "wall.ota", 400);
        theFileModel->addFirmwareFile(4, "1.2.3", "plug.ota", 500);
    }
    ~Setup()
    {
        delete bridge;
        setSettings(nullptr);
    }

    // A run in progress: every device takes part, some transfer, some are silent.
    void fill(const QDateTime& _now)
    {
        for (int i = 0; i < kDevices; ++i)
            model->addZigBeeDevice(addressOf(i), typeOf(i), 0x010200);
        bridge->setSysState(CProg2Gui::SysStateDeviceUpdate);
        model->startUpdate(_now.addSecs(-2000));
        for (int i = 0; i < kDevices; ++i) {
            ZigBeeDevice* device = model->findDevice(addressOf(i));
            device->m_lastActivity = _now.addSecs(-10);
            device->setClientState(i % 10 == 0 ? ZigBeeDevice::eClientStateNoActivity
                                               : ZigBeeDevice::eClientStateWaitForUpdateInfo,
                                   false);
            device->setProgress((i * 37) % 1001);
        }
    }
};

void BM_AddDevices(benchmark::State& state)
{
    Setup setup;
    for (auto _ : state) {
        for (int i = 0; i < kDevices; ++i)
            setup.model->addZigBeeDevice(addressOf(i), typeOf(i), 0x010200);
        state.PauseTiming();
        setup.model->clear();
        state.ResumeTiming();
    }
    state.counters["devices"] = kDevices;
    state.counters["budget_ms"] = 50;
}

void BM_SupervisionTick(benchmark::State& state)
{
    Setup setup;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    setup.fill(now);
    for (auto _ : state)
        setup.model->supervise(now);
    // The run must still be going, or the tick would have been cheap.
    state.counters["run_active"] = setup.bridge->isSysState(CProg2Gui::SysStateDeviceUpdate) ? 1 : 0;
    state.counters["budget_us"] = 2000;
}

void BM_ProgressText(benchmark::State& state)
{
    Setup setup;
    setup.fill(QDateTime::currentDateTimeUtc());
    for (auto _ : state)
        benchmark::DoNotOptimize(setup.model->progressText());
    state.counters["budget_us"] = 500;
}

void BM_DeviceCountText(benchmark::State& state)
{
    Setup setup;
    setup.fill(QDateTime::currentDateTimeUtc());
    for (auto _ : state)
        benchmark::DoNotOptimize(setup.model->deviceCountText());
    state.counters["budget_us"] = 500;
}

} // namespace

BENCHMARK(BM_AddDevices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SupervisionTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProgressText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeviceCountText)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(dropMessages);
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
