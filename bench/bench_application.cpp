// The real executable (lumoran-tool, next to this program) started offscreen
// in a settings folder of its own:
// - start-up: from starting the process to the line the window logs when it
//   is complete ("Component.onCompleted: fontpointSize ..."), with no stick
//   (a pinned port that does not exist) and no update server (a loopback
//   port nobody listens on);
// - resident memory (VmRSS from /proc) once the window lists 1000 devices,
//   fed by the simulated stick (sticksim, also next to this program) with a
//   network of 1000 devices that each ask once, from two seconds on (and 10
//   and 100, to show the growth).
// The tool's log goes to standard error with the default handler; the bench
// reads it and counts the device list's "added device: ... idx N" lines.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include "EventLoopWait.h"

namespace {

constexpr int kBudgetDevices = 1000;
constexpr int kStartTimeoutMs = 30000;
constexpr int kFillTimeoutMs = 120000;
const char* const kWindowDone = "Component.onCompleted: fontpointSize";
const char* const kDeviceAdded = "added device: ";

QString binary(const char* _name)
{
    return QCoreApplication::applicationDirPath() + "/" + _name;
}

// A loopback port that was free a moment ago: connections to it are refused.
quint16 refusedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

// A settings folder for one start of the tool.
struct ToolHome
{
    QTemporaryDir dir;

    bool write(const QString& _port)
    {
        const QString folder = dir.path() + "/config/Vandrel";
        if (!QDir().mkpath(folder) || !QDir().mkpath(dir.path() + "/runtime"))
            return false;
        QFile::setPermissions(dir.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile ini(folder + "/Vandrel Lumoran Tool.ini");
        if (!ini.open(QIODevice::WriteOnly))
            return false;
        ini.write(QString("[applSettings]\nlang=English\nuselogfile=false\n\n"
                          "[serial]\nports=%1\n\n[update]\nUpdateUrl=http://127.0.0.1:%2/\n")
                      .arg(_port)
                      .arg(refusedPort())
                      .toUtf8());
        return true;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_QUICK_BACKEND", "software");
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        env.insert("XDG_RUNTIME_DIR", dir.path() + "/runtime");
        env.remove("QT_MESSAGE_PATTERN");
        // The terminal shows only warnings unless asked: the window's
        // completion and the device list's rows are debug lines.
        env.insert("QT_LOGGING_RULES", "qml.debug=true;lumoran.devices.debug=true");
        return env;
    }
};

void stopProcess(QProcess& _process)
{
    if (_process.state() == QProcess::NotRunning)
        return;
    _process.terminate();
    if (!_process.waitForFinished(5000)) {
        _process.kill();
        _process.waitForFinished(5000);
    }
}

// Kilobytes of a "Name:   1234 kB" line of /proc/PID/status; -1 if missing.
double statusKb(qint64 _pid, const char* _name)
{
    QFile status(QString("/proc/%1/status").arg(_pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(_name)) {
            const QList<QByteArray> parts = line.mid(int(qstrlen(_name))).simplified().split(' ');
            bool ok = false;
            const double kb = parts.value(0).toDouble(&ok);
            return ok ? kb : -1;
        }
    }
    return -1;
}

void BM_StartUp(benchmark::State& state)
{
    double rssKb = 0;
    for (auto _ : state) {
        ToolHome home;
        if (!home.write(home.dir.path() + "/no-stick")) {
            state.SkipWithError("cannot write the settings");
            return;
        }
        QProcess tool;
        tool.setProcessEnvironment(home.environment());
        tool.setProcessChannelMode(QProcess::SeparateChannels);
        tool.setStandardOutputFile(QProcess::nullDevice());
        QByteArray log;
        bool shown = false;
        qint64 shownNs = 0;
        QElapsedTimer clock;
        QObject::connect(&tool, &QProcess::readyReadStandardError, [&] {
            log += tool.readAllStandardError();
            if (!shown && log.contains(kWindowDone)) {
                shownNs = clock.nsecsElapsed();
                shown = true;
            }
        });
        clock.start();
        tool.start(binary("lumoran-tool"), QStringList());
        const bool ok = waitFor([&] { return shown || tool.state() == QProcess::NotRunning; }, kStartTimeoutMs);
        if (ok && shown)
            rssKb = statusKb(tool.processId(), "VmRSS:");
        stopProcess(tool);
        if (!shown) {
            state.SkipWithError("the window did not report its completion");
            return;
        }
        state.SetIterationTime(double(shownNs) / 1e9);
    }
    state.counters["rss_MB_idle"] = rssKb / 1024;
    state.counters["budget_ms"] = 1000;
}

QByteArray networkOf(int _devices)
{
    static const int types[] = {1, 2, 4};
    QJsonArray devices;
    for (int i = 0; i < _devices; ++i) {
        devices.append(QJsonObject{
            {"shortAddress", QString("0x%1").arg(i + 1, 4, 16, QChar('0'))},
            {"type", types[i % 3]},
            {"version", "1.0.0"},
            // After the tool has connected: a query the stick cannot forward yet
            // is lost until the device's next one.
            {"firstQueryMs", 2000 + i * 2},
        });
    }
    const QJsonObject scenario{
        {"seed", 3},
        {"stick", QJsonObject{{"version", "1.0.0"}, {"networkState", 3}}},
        // Every device asks once, or twice should the tool have been slow to connect.
        {"timing", QJsonObject{{"queryIntervalMs", 30000}, {"stickQueryIntervalMs", 600000}}},
        {"devices", devices},
    };
    return QJsonDocument(scenario).toJson();
}

void BM_MemoryWithDevices(benchmark::State& state)
{
    const int devices = int(state.range(0));
    double rssKb = 0;
    double peakKb = 0;
    int added = 0;
    for (auto _ : state) {
        ToolHome home;
        QFile scenario(home.dir.path() + "/network.json");
        if (!scenario.open(QIODevice::WriteOnly) || scenario.write(networkOf(devices)) < 0) {
            state.SkipWithError("cannot write the scenario");
            return;
        }
        scenario.close();

        QProcess sim;
        sim.setProcessChannelMode(QProcess::SeparateChannels);
        sim.setStandardErrorFile(QProcess::nullDevice());
        sim.start(binary("sticksim"), {"--quiet", scenario.fileName()});
        QByteArray simOut;
        const bool ptyKnown = waitFor(
            [&] {
                simOut += sim.readAllStandardOutput();
                return simOut.contains('\n') || sim.state() == QProcess::NotRunning;
            },
            kStartTimeoutMs);
        const QByteArray first = simOut.left(simOut.indexOf('\n')).trimmed();
        if (!ptyKnown || !first.startsWith("PTY ") || !home.write(QString::fromLocal8Bit(first.mid(4)))) {
            stopProcess(sim);
            state.SkipWithError("the simulator did not start");
            return;
        }

        QProcess tool;
        tool.setProcessEnvironment(home.environment());
        tool.setStandardOutputFile(QProcess::nullDevice());
        QByteArray pending;
        added = 0;
        bool shown = false;
        QObject::connect(&tool, &QProcess::readyReadStandardError, [&] {
            pending += tool.readAllStandardError();
            const int lastLine = pending.lastIndexOf('\n');
            if (lastLine < 0)
                return;
            const QByteArray lines = pending.left(lastLine + 1);
            pending.remove(0, lastLine + 1);
            for (const QByteArray& line : lines.split('\n')) {
                // The device list's own line; the stick's line of the same request names no row.
                if (line.contains(kDeviceAdded) && line.contains(", idx "))
                    ++added;
                shown = shown || line.contains(kWindowDone);
            }
        });
        QElapsedTimer clock;
        clock.start();
        tool.start(binary("lumoran-tool"), QStringList());
        const bool filled = waitFor([&] { return (shown && added >= devices) || tool.state() == QProcess::NotRunning; },
                                    kFillTimeoutMs);
        // The view lays out and paints the new rows on its own time.
        waitFor([] { return false; }, 1000);
        if (filled && tool.state() == QProcess::Running) {
            rssKb = statusKb(tool.processId(), "VmRSS:");
            peakKb = statusKb(tool.processId(), "VmHWM:");
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        stopProcess(tool);
        stopProcess(sim);
        if (!filled || added < devices || rssKb <= 0) {
            state.SkipWithError("the window did not list every device");
            return;
        }
    }
    state.counters["devices"] = added;
    state.counters["rss_MB"] = rssKb / 1024;
    state.counters["peak_rss_MB"] = peakKb / 1024;
    if (devices == kBudgetDevices)
        state.counters["budget_MB"] = 120;
}

} // namespace

// The start-up figure is the median of five starts.
BENCHMARK(BM_StartUp)->Iterations(1)->Repetitions(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryWithDevices)
    ->Arg(10)
    ->Arg(100)
    ->Arg(kBudgetDevices)
    ->Iterations(1)
    ->Repetitions(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
