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

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("sticksim");

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
    parser.process(app);

    if (parser.positionalArguments().size() != 1) {
        std::fprintf(stderr, "sticksim: exactly one scenario file expected\n");
        return 2;
    }
    qint64 baud = 0;
    qint64 rxBaud = 0;
    qint64 durationS = 0;
    qint64 seed = 0;
    if (!parseNumber(parser.value(baudOption), 0, 4000000, baud)) {
        std::fprintf(stderr, "sticksim: --baud expects a number from 0 to 4000000\n");
        return 2;
    }
    if (!parseNumber(parser.value(rxBaudOption), 0, 4000000, rxBaud)) {
        std::fprintf(stderr, "sticksim: --rx-baud expects a number from 0 to 4000000\n");
        return 2;
    }
    if (parser.isSet(durationOption) && !parseNumber(parser.value(durationOption), 1, 7 * 24 * 3600, durationS)) {
        std::fprintf(stderr, "sticksim: --duration expects a number of seconds from 1 on\n");
        return 2;
    }
    if (parser.isSet(seedOption) && !parseNumber(parser.value(seedOption), 0, 0xFFFFFFFFLL, seed)) {
        std::fprintf(stderr, "sticksim: --seed expects a number from 0 to 4294967295\n");
        return 2;
    }

    Scenario scenario;
    QString error;
    if (!Scenario::load(parser.positionalArguments().first(), scenario, error)) {
        std::fprintf(stderr, "sticksim: %s\n", error.toLocal8Bit().constData());
        return 1;
    }

    StickSimulator sim(scenario);
    sim.setDevicePath(parser.value(deviceOption));
    sim.setBaud(int(baud));
    sim.setRxBaud(int(rxBaud));
    if (parser.isSet(seedOption))
        sim.setSeed(quint32(seed));
    if (durationS > 0)
        sim.setStopAfterMs(durationS * 1000);
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

    const QString linkPath = parser.value(linkOption);
    if (!linkPath.isEmpty()) {
        const QFileInfo existing(linkPath);
        if (existing.isSymLink() || existing.exists())
            QFile::remove(linkPath);
        if (!QFile::link(sim.linePath(), linkPath)) {
            std::fprintf(stderr, "sticksim: cannot create the link %s\n", linkPath.toLocal8Bit().constData());
            return 1;
        }
    }

    // The path comes first so that a script can read it; the events of the
    // start follow it.
    printLine(QString("PTY %1").arg(sim.linePath()));
    if (!parser.isSet(quietOption)) {
        for (const QString& line : sim.events())
            printLine(line);
        QObject::connect(&sim, &StickSimulator::eventLogged, &app, [](const QString& _line) { printLine(_line); });
    }
    const int result = app.exec();

    if (!linkPath.isEmpty() && QFileInfo(linkPath).symLinkTarget() == QFileInfo(sim.linePath()).absoluteFilePath())
        QFile::remove(linkPath);
    return result;
}
