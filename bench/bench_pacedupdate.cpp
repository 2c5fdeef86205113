// One device updated with a 200 KiB image over a line held to 115200 baud,
// with the tool's core and the simulated stick in one event loop on a real
// pseudo-terminal. The simulator paces both directions: what it writes, and
// what the tool writes as its own receiver takes it in (a pseudo-terminal
// would pass the tool's replies on at once). So the line's own time for the
// bytes exchanged is the sum over both directions at 10 bits per byte: the
// exchange is request and reply, one at a time, and neither side sends
// while waiting for the other.
//
// Measured: from the tool taking in the first Image Block request (the log
// line of the block at offset 0) to the tool taking in the Upgrade End
// request, with the bytes the simulator wrote and took in between those two
// moments. The tool's and the simulator's own work both count against the
// line, as does every wake-up of the event loop.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include "EventLoopWait.h"
#include "Publisher.h"
#include "Scenario.h"
#include "StickSimulator.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"

namespace {

constexpr int kBaud = 115200;
constexpr int kImageSize = 200 * 1024;
constexpr quint16 kDevice = 0x1a2b;
constexpr int kSetupTimeoutMs = 20000;
constexpr int kTransferTimeoutMs = 300000;

// The two moments of the transfer and the line's byte counts at each.
struct Watch
{
    const SimLine* line = nullptr;
    QElapsedTimer clock;
    qint64 startNs = -1;
    qint64 endNs = -1;
    qint64 bytesAtStart = 0;
    qint64 bytesAtEnd = 0;

    qint64 lineBytes() const { return line->bytesWritten() + line->bytesReceived(); }
};

Watch* s_watch = nullptr;

// The tool's log lines are formatted as usual and dropped; two of them mark
// the transfer.
void watchMessages(QtMsgType, const QMessageLogContext&, const QString& _message)
{
    if (!s_watch)
        return;
    if (s_watch->startNs < 0 && _message.startsWith("DEV - file name") && _message.contains(" from offset 0 ")) {
        s_watch->startNs = s_watch->clock.nsecsElapsed();
        s_watch->bytesAtStart = s_watch->lineBytes();
    } else if (s_watch->startNs >= 0 && s_watch->endNs < 0 && _message.startsWith("UpgradeEndReq:")) {
        s_watch->endNs = s_watch->clock.nsecsElapsed();
        s_watch->bytesAtEnd = s_watch->lineBytes();
    }
}

QByteArray scenarioJson()
{
    const QJsonObject scenario{
        {"seed", 5},
        {"stick", QJsonObject{{"version", "1.0.0"}, {"networkState", 3}}},
        {"timing", QJsonObject{{"queryIntervalMs", 300}, {"stickQueryIntervalMs", 600000}}},
        {"devices",
         QJsonArray{QJsonObject{{"shortAddress", "0x1a2b"}, {"type", 1}, {"version", "1.0.0"}, {"firstQueryMs", 100}}}},
    };
    return QJsonDocument(scenario).toJson();
}

void BM_PacedUpdate(benchmark::State& state)
{
    double lineMs = 0;
    double measuredMs = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        QSettings settings(dir.path() + "/bench.ini", QSettings::IniFormat);
        setSettings(&settings);
        // No update server: a port on loopback nobody listens on is refused at once.
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            settings.setValue("update/UpdateUrl", QString("http://127.0.0.1:%1/").arg(probe.serverPort()));
        }
        QDir().mkpath(getUpdatePath());
        QFile image(getUpdatePath() + "/ctl.ota");
        // A well-formed image: the simulated device refuses anything else.
        const QByteArray firmware = Publisher::otaImage(
            1, parseVersion("1.1.0"), kImageSize - Publisher::kOtaHeaderLength - Publisher::kSubElementHeaderLength);
        if (!image.open(QIODevice::WriteOnly) || image.write(firmware) != kImageSize) {
            state.SkipWithError("cannot write the image");
            setSettings(nullptr);
            return;
        }
        image.close();

        Scenario scenario;
        QString error;
        if (!Scenario::fromJson(scenarioJson(), scenario, error)) {
            state.SkipWithError(qPrintable("scenario: " + error));
            setSettings(nullptr);
            return;
        }
        StickSimulator sim(scenario);
        sim.setBaud(kBaud);
        sim.setRxBaud(kBaud);
        if (!sim.start(error)) {
            state.SkipWithError(qPrintable("simulator: " + error));
            setSettings(nullptr);
            return;
        }
        settings.setValue("serial/ports", QStringList{sim.linePath()});

        Watch watch;
        watch.line = &sim.line();
        watch.clock.start();
        s_watch = &watch;
        auto* bridge = new CProg2Gui;
        bridge->fileModel()->addFirmwareFile(1, "1.1.0", "ctl.ota", 300);
        bridge->fileModel()->findByDevType(1)->m_fileDigest =
            HeldFileDigest(firmware.size(), QCryptographicHash::hash(firmware, QCryptographicHash::Sha256).toHex());
        StickInterface* stick = bridge->stickInterface();
        ZigBeeDeviceModel* model = bridge->deviceModel();
        bool completed = false;
        QObject::connect(&sim, &StickSimulator::imageCompleted,
                         [&](quint16 _address, const QByteArray&) { completed = completed || _address == kDevice; });

        const bool ready = waitFor(
            [&] {
                return stick->linkState() == 1 && stick->nwkState() == StickInterface::eNwkStateJoined &&
                       model->findDevice(kDevice);
            },
            kSetupTimeoutMs);
        bool ended = false;
        if (ready) {
            bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
            ended = waitFor([&] { return completed && watch.endNs >= 0; }, kTransferTimeoutMs);
        }
        s_watch = nullptr;
        delete bridge;
        setSettings(nullptr);
        if (!ready || !ended) {
            state.SkipWithError(!ready ? "the stick or the device did not come up" : "the transfer did not end");
            return;
        }
        bytes = watch.bytesAtEnd - watch.bytesAtStart;
        lineMs = double(bytes) * 10.0 * 1000.0 / kBaud;
        measuredMs = double(watch.endNs - watch.startNs) / 1e6;
        state.SetIterationTime(measuredMs / 1000.0);
    }
    state.counters["image_KiB"] = kImageSize / 1024;
    state.counters["line_bytes"] = double(bytes);
    state.counters["line_ms"] = lineMs;
    state.counters["measured_ms"] = measuredMs;
    state.counters["over_line_pct"] = lineMs > 0 ? (measuredMs / lineMs - 1.0) * 100.0 : 0;
    state.counters["budget_pct"] = 5;
}

} // namespace

BENCHMARK(BM_PacedUpdate)->Iterations(1)->Repetitions(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(watchMessages);
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
