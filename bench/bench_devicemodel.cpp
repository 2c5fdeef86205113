// The device list with 10, 100 and 1000 devices: adding them, one supervision
// tick and the summary texts the window polls during a run. The budgets hold
// for 1000 devices; the smaller lists show how the cost grows.
#include <QCoreApplication>
#include <QDateTime>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "bridge/ToolCore.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"

namespace {

constexpr int kBudgetDevices = 1000;

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&)
{}

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

// The budget counter only on the row the budget speaks of.
void setBudget(benchmark::State& _state, const char* _name, double _value)
{
    if (_state.range(0) == kBudgetDevices)
        _state.counters[_name] = _value;
}

struct Setup
{
    QTemporaryDir dir;
    QSettings settings{dir.path() + "/bench.ini", QSettings::IniFormat};
    ToolCore* core = nullptr;
    ZigBeeDeviceModel* model = nullptr;

    Setup()
    {
        setSettings(&settings);
        core = new ToolCore(ToolCore::eNoIndexFetch);
        model = core->devices();
        core->files()->addFirmwareFile(1, "1.2.3", "ctl.ota", 300);
        core->files()->addFirmwareFile(2, "1.2.3", "wall.ota", 400);
        core->files()->addFirmwareFile(4, "1.2.3", "plug.ota", 500);
    }
    ~Setup()
    {
        delete core;
        setSettings(nullptr);
    }

    // A run in progress: every device takes part, some transfer, one in ten
    // is silent (its row is refreshed on every tick).
    void fill(int _devices, const QDateTime& _now)
    {
        for (int i = 0; i < _devices; ++i)
            model->addZigBeeDevice(addressOf(i), typeOf(i), 0x010200);
        core->runState().jumpTo(SystemServices::SysStateDeviceUpdate);
        model->startUpdate(_now.addSecs(-2000));
        for (int i = 0; i < _devices; ++i) {
            ZigBeeDevice* device = model->findDevice(addressOf(i));
            device->m_lastActivity = _now.addSecs(-10);
            device->setClientState(i % 10 == 0 ? ZigBeeDevice::eClientStateNoActivity
                                               : ZigBeeDevice::eClientStateWaitForUpdateInfo);
            device->setProgress((i * 37) % 1001);
        }
    }
};

void BM_AddDevices(benchmark::State& state)
{
    const int devices = int(state.range(0));
    Setup setup;
    for (auto _ : state) {
        for (int i = 0; i < devices; ++i)
            setup.model->addZigBeeDevice(addressOf(i), typeOf(i), 0x010200);
        state.PauseTiming();
        if (setup.model->rowCount() != devices)
            state.SkipWithError("not every device was added");
        setup.model->clear();
        state.ResumeTiming();
    }
    state.counters["devices"] = devices;
    setBudget(state, "budget_ms", 50);
}

void BM_SupervisionTick(benchmark::State& state)
{
    const int devices = int(state.range(0));
    Setup setup;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    setup.fill(devices, now);
    for (auto _ : state)
        setup.model->supervise(now);
    // The run must still be going, or the tick would have been cheap.
    if (!setup.core->runState().is(SystemServices::SysStateDeviceUpdate))
        state.SkipWithError("the run ended during the ticks");
    state.counters["devices"] = devices;
    setBudget(state, "budget_us", 2000);
}

void BM_ProgressText(benchmark::State& state)
{
    const int devices = int(state.range(0));
    Setup setup;
    setup.fill(devices, QDateTime::currentDateTimeUtc());
    for (auto _ : state)
        benchmark::DoNotOptimize(setup.model->progressText());
    state.counters["devices"] = devices;
    setBudget(state, "budget_us", 500);
}

void BM_DeviceCountText(benchmark::State& state)
{
    const int devices = int(state.range(0));
    Setup setup;
    setup.fill(devices, QDateTime::currentDateTimeUtc());
    for (auto _ : state)
        benchmark::DoNotOptimize(setup.model->deviceCountText());
    state.counters["devices"] = devices;
    setBudget(state, "budget_us", 500);
}

} // namespace

BENCHMARK(BM_AddDevices)->Arg(10)->Arg(100)->Arg(kBudgetDevices)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SupervisionTick)->Arg(10)->Arg(100)->Arg(kBudgetDevices)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ProgressText)->Arg(10)->Arg(100)->Arg(kBudgetDevices)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_DeviceCountText)->Arg(10)->Arg(100)->Arg(kBudgetDevices)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(dropMessages);
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
