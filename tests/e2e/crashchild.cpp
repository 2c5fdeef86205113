// Writes the tool's files over and over until it is killed, so that a kill
// at any moment lands inside a write:
//   crashchild <settings file> backup        "backup.ini" in the update folder
//   crashchild <settings file> settings      the settings file
//   crashchild <settings file> download URL  fw.bin and fw.sig from URL into the update folder
// Prints "ready" once the first round is complete.
#include <cstdio>

#include <QCoreApplication>
#include <QSettings>
#include <QTimer>

#include "bridge/CProg2Gui.h"
#include "common/settings.h"
#include "content/AuthFileDownloader.h"
#include "content/BackupIni.h"
#include "content/UpdateFolder.h"
#include "link/CSerialPortHandler.h"

namespace {
// Enough keys that one write takes a while; every key of one round holds the
// same value, so that a mix of two rounds shows.
constexpr int kKeys = 300;

void fill(QSettings& _ini, int _round)
{
    for (int i = 0; i < kKeys; ++i)
        _ini.setValue(QString("round/k%1").arg(i), QString("%1 %2").arg(_round).arg(QString(40, QChar('x'))));
    _ini.setValue("round/last", _round);
}

void ready()
{
    std::printf("ready\n");
    std::fflush(stdout);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QSettings settings(QString::fromLocal8Bit(argv[1]), QSettings::IniFormat);
    setSettings(&settings);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    // As the tool does at its start.
    removeEmptyLockFile(settings.fileName());
    removeEmptyLockFile(BackupIni::path());

    if (mode == "backup" || mode == "settings") {
        for (int round = 1;; ++round) {
            if (mode == "backup") {
                QSettings backup(BackupIni::path(), QSettings::IniFormat);
                fill(backup, round);
                if (!BackupIni::sync(backup))
                    return 1;
            } else {
                fill(settings, round);
                settings.sync();
                if (settings.status() != QSettings::NoError)
                    return 1;
            }
            if (round == 1)
                ready();
        }
    }
    if (mode != "download" || argc < 4)
        return 2;

    // The signature check goes through the bridge's wrapper. No serial port
    // of the machine is opened.
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    CProg2Gui bridge;
    const QString url = QString::fromLocal8Bit(argv[3]);
    AuthFileDownloader downloader;
    int rounds = 0;
    auto again = [&] {
        downloader.setFileName(getUpdatePath(), "fw", "bin", "sig");
        downloader.setUrl(url, "fw", "bin", "sig");
    };
    QObject::connect(&downloader, &AuthFileDownloader::downloaded, [&] {
        if (++rounds == 1)
            ready();
        QTimer::singleShot(0, again);
    });
    QObject::connect(&downloader, &AuthFileDownloader::error, [] { QCoreApplication::exit(1); });
    QObject::connect(&downloader, &AuthFileDownloader::authFailed, [] { QCoreApplication::exit(1); });
    again();
    return app.exec();
}
