// sticksim: a simulated USB radio stick with the devices of its ZigBee
// network, on a new pseudo-terminal (or a given device), driven by a JSON
// scenario. Prints "PTY <path>" first, then one line per event, and a summary
// when the run ends (end of the scenario, --duration, SIGINT or SIGTERM).

#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "Scenario.h"
#include "StickSimulator.h"
#include "StopSignal.h"

namespace {

void printLine(const QString& _line)
{
    const QByteArray bytes = _line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

bool parseNumber(const QString& _text, qint64 _min, qint64 _max, qint64& _out)
{
    bool ok = false;
    const qint64 value = _text.toLongLong(&ok);
    if (!ok || value < _min || value > _max)
        return false;
    _out = value;
    return true;
}

// What the command line asks for.
struct Options
{
    QString scenarioPath;
    QString devicePath;
    QString linkPath;
    qint64 baud = 0;
    qint64 rxBaud = 0;
    qint64 durationS = 0;
    qint64 seed = -1; // -1: the scenario's own
    bool quiet = false;
};

// False with the reason printed: the command line does not make sense.
bool parseOptions(const QCoreApplication& _app, Options& _options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("A simulated USB radio stick with the OTA clients of its network.");
    parser.addHelpOption();
    parser.addPositionalArgument("scenario", "The scenario file (JSON).");
    const QCommandLineOption deviceOption("device", "Open this device instead of a new pseudo-terminal.", "path");
    const QCommandLineOption linkOption("link", "Make a symbolic link to the line's far end (removed at exit).",
                                        "path");
    const QCommandLineOption baudOption("baud", "Hold the simulator's writes to this baud rate (0: unpaced).", "n",
                                        "0");
    const QCommandLineOption rxBaudOption(
        "rx-baud", "Take in what the tool writes no faster than this baud rate (0: at once).", "n", "0");
    const QCommandLineOption durationOption("duration", "Stop after this many seconds.", "seconds");
    const QCommandLineOption seedOption("seed", "Seed of the random choices (overrides the scenario).", "n");
    const QCommandLineOption quietOption("quiet", "Print only the line path and the summary.");
    parser.addOptions({deviceOption, linkOption, baudOption, rxBaudOption, durationOption, seedOption, quietOption});
    parser.process(_app);

    auto refuse = [](const char* _text) {
        std::fprintf(stderr, "sticksim: %s\n", _text);
        return false;
    };
    if (parser.positionalArguments().size() != 1)
        return refuse("exactly one scenario file expected");
    if (!parseNumber(parser.value(baudOption), 0, 4000000, _options.baud))
        return refuse("--baud expects a number from 0 to 4000000");
    if (!parseNumber(parser.value(rxBaudOption), 0, 4000000, _options.rxBaud))
        return refuse("--rx-baud expects a number from 0 to 4000000");
    if (parser.isSet(durationOption) &&
        !parseNumber(parser.value(durationOption), 1, 7 * 24 * 3600, _options.durationS))
        return refuse("--duration expects a number of seconds from 1 on");
    if (parser.isSet(seedOption) && !parseNumber(parser.value(seedOption), 0, 0xFFFFFFFFLL, _options.seed))
        return refuse("--seed expects a number from 0 to 4294967295");
    _options.scenarioPath = parser.positionalArguments().first();
    _options.devicePath = parser.value(deviceOption);
    _options.linkPath = parser.value(linkOption);
    _options.quiet = parser.isSet(quietOption);
    return true;
}

// A symbolic link at _linkPath to the line's far end, replacing what lies there.
bool makeLink(const QString& _linkPath, const QString& _target)
{
    const QFileInfo existing(_linkPath);
    if (existing.isSymLink() || existing.exists())
        QFile::remove(_linkPath);
    if (QFile::link(_target, _linkPath))
        return true;
    std::fprintf(stderr, "sticksim: cannot create the link %s\n", _linkPath.toLocal8Bit().constData());
    return false;
}

// Removes the link of makeLink() if it still points to the line.
void removeLink(const QString& _linkPath, const QString& _target)
{
    if (!_linkPath.isEmpty() && QFileInfo(_linkPath).symLinkTarget() == QFileInfo(_target).absoluteFilePath())
        QFile::remove(_linkPath);
}

// The line, its speeds, the seed and the run time as the command line asks.
void applyOptions(const Options& _options, StickSimulator& _sim)
{
    _sim.setDevicePath(_options.devicePath);
    _sim.setBaud(int(_options.baud));
    _sim.setRxBaud(int(_options.rxBaud));
    if (_options.seed >= 0)
        _sim.setSeed(quint32(_options.seed));
    if (_options.durationS > 0)
        _sim.setStopAfterMs(_options.durationS * 1000);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("sticksim");
    Options options;
    if (!parseOptions(app, options))
        return 2;

    Scenario scenario;
    QString error;
    if (!Scenario::load(options.scenarioPath, scenario, error)) {
        std::fprintf(stderr, "sticksim: %s\n", error.toLocal8Bit().constData());
        return 1;
    }

    StickSimulator sim(scenario);
    applyOptions(options, sim);
    QObject::connect(&sim, &StickSimulator::finished, &app, [&sim] {
        for (const QString& line : sim.summary())
            printLine(line);
        QCoreApplication::quit();
    });

    StopSignal stopSignal;
    if (!stopSignal.isWatching()) {
        std::fprintf(stderr, "sticksim: cannot watch for stop requests\n");
        return 1;
    }
    QObject::connect(&stopSignal, &StopSignal::requested, &app, [&sim] {
        if (sim.isRunning())
            sim.stop(); // prints the summary and quits through finished()
        else
            QCoreApplication::quit();
    });

    if (!sim.start(error)) {
        std::fprintf(stderr, "sticksim: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    if (!options.linkPath.isEmpty() && !makeLink(options.linkPath, sim.linePath()))
        return 1;

    // The path comes first so that a script can read it; the events of the
    // start follow it.
    printLine(QString("PTY %1").arg(sim.linePath()));
    if (!options.quiet) {
        for (const QString& line : sim.events())
            printLine(line);
        QObject::connect(&sim, &StickSimulator::eventLogged, &app, [](const QString& _line) { printLine(_line); });
    }
    const int result = app.exec();

    removeLink(options.linkPath, sim.linePath());
    return result;
}
