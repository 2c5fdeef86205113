// "backup.ini" and "production.ini" with arbitrary contents, read at start-up:
// a bridge is built over them (pruning, import of the shipped firmware,
// loading), then the three steps run once more as at the next start, and the
// average update durations read take one measured update each.
//
// Input: the text of backup.ini, the separator line below, the text of
// production.ini (no separator: production.ini is empty). Each input gets a
// fresh folder with the same firmware files: two held in the update folder,
// four shipped next to production.ini, each with its signature by the
// development key (data/inifiles), so that the start-up checks pass them.
//
// Whatever the files say, the tool may change nothing outside the update
// folder (besides its own settings and temp folder), never touches the
// shipped files, and may only add files to the update folder that are exact
// copies of shipped files or their signatures under their own names.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>

#include "FuzzEnvironment.h"
#include "bridge/CProg2Gui.h"
#include "common/FirmwareUpdate.h"
#include "common/settings.h"
#include "content/BackupIni.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDevice.h"

namespace {
const QByteArray kSeparator = "\n====production.ini====\n";
// The longest transfer a device record believes.
constexpr int kMeasuredSeconds = ZigBeeDevice::kMaxPlausibleDuration;

struct FirmwareFile
{
    const char* name;
    const char* content;
};

const FirmwareFile kHeld[] = {
    {"control_2.0.5.ota", "held control element firmware"},
    {"plug_1.0.0.ota", "held plug firmware"},
};

const FirmwareFile kShipped[] = {
    {"control_2.1.0.ota", "shipped control element firmware"},
    {"wall_1.0.0.ota", "shipped wall transmitter firmware"},
    {"stick_3.0.0.bin", "shipped stick firmware"},
    {"tool_1.3.0.zip", "shipped tool package"},
};

QString signatureName(const QString& _fileName)
{
    return QFileInfo(_fileName).completeBaseName() + ".sig";
}

// The development key's signature of a held or shipped file.
QByteArray signature(const QString& _fileName)
{
    QFile file(QString(LUMORAN_FUZZ_DATA_DIR) + "/inifiles/" + signatureName(_fileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file below _root by its path relative to _root, with its content.
QMap<QString, QByteArray> snapshot(const QString& _root)
{
    QMap<QString, QByteArray> files;
    const QDir root(_root);
    QDirIterator it(_root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        files.insert(root.relativeFilePath(path), file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?"));
    }
    return files;
}

[[noreturn]] void fail(const char* _what, const QString& _path)
{
    std::fprintf(stderr, "%s: %s\n", _what, qPrintable(_path));
    FuzzEnvironment::fail("fuzz_inifiles: the tool changed files it must leave alone");
}

void checkChanges(const QMap<QString, QByteArray>& _before, const QMap<QString, QByteArray>& _after,
                  const QString& _updateDir, const QString& _settingsFile, const QString& _tempDir)
{
    QMap<QString, QByteArray> shipped;
    for (const FirmwareFile& file : kShipped) {
        shipped.insert(file.name, file.content);
        shipped.insert(signatureName(file.name), signature(file.name));
    }

    for (auto it = _after.cbegin(); it != _after.cend(); ++it) {
        const QString& path = it.key();
        if (path == _settingsFile || path.startsWith(_tempDir + "/"))
            continue;
        if (path.startsWith(_updateDir + "/")) {
            const QString name = path.mid(_updateDir.size() + 1);
            if (name == "backup.ini" || _before.value(path) == it.value())
                continue;
            // Anything new or changed in the update folder is a shipped file, copied whole.
            if (name.contains('/') || shipped.value(name) != it.value())
                fail("written in the update folder", path);
            continue;
        }
        if (!_before.contains(path) || _before.value(path) != it.value())
            fail("written outside the update folder", path);
    }
    // Only files of the update folder may go.
    for (auto it = _before.cbegin(); it != _before.cend(); ++it) {
        if (!_after.contains(it.key()) && !it.key().startsWith(_updateDir + "/"))
            fail("removed outside the update folder", it.key());
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* _argc, char*** _argv)
{
    FuzzEnvironment::init(_argc, _argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _data, size_t _size)
{
    const QByteArray text(reinterpret_cast<const char*>(_data), int(_size));
    const int split = text.indexOf(kSeparator);
    const QByteArray backupText = split < 0 ? text : text.left(split);
    const QByteArray productionText = split < 0 ? QByteArray() : text.mid(split + kSeparator.size());

    QTemporaryDir root(FuzzEnvironment::scratchDir() + "/ini-XXXXXX");
    FUZZ_CHECK(root.isValid());
    std::unique_ptr<QSettings> settings = FuzzEnvironment::installSettings(root.path());
    settings->setValue("serial/ports", root.path() + "/no-such-port");
    settings->sync();
    applDirPath = root.path() + "/app";
    const QString productionDir = applDirPath + "/device";
    const QString updateDir = getUpdatePath();
    FUZZ_CHECK(QDir().mkpath(productionDir) && QDir().mkpath(updateDir));
    for (const FirmwareFile& file : kHeld) {
        FUZZ_CHECK(FuzzEnvironment::writeFile(updateDir + "/" + file.name, file.content));
        FUZZ_CHECK(FuzzEnvironment::writeFile(updateDir + "/" + signatureName(file.name), signature(file.name)));
    }
    for (const FirmwareFile& file : kShipped) {
        FUZZ_CHECK(FuzzEnvironment::writeFile(productionDir + "/" + file.name, file.content));
        FUZZ_CHECK(FuzzEnvironment::writeFile(productionDir + "/" + signatureName(file.name), signature(file.name)));
    }
    FUZZ_CHECK(FuzzEnvironment::writeFile(updateDir + "/backup.ini", backupText));
    FUZZ_CHECK(FuzzEnvironment::writeFile(productionDir + "/production.ini", productionText));

    const QDir rootDir(root.path());
    const QMap<QString, QByteArray> before = snapshot(root.path());
    {
        CProg2Gui bridge;
        BackupIni::preProcessBackupIni();
        bridge.processProductionIni();
        bridge.loadBackupIni();
        // The averages read from the files take a measured update, as after
        // a device update run.
        QSettings backup(updateDir + "/backup.ini", QSettings::IniFormat);
        for (const QString& group : backup.childGroups()) {
            const quint16 devType = quint16(backup.value(group + "/id").toUInt());
            FirmwareUpdate* record = bridge.fileModel()->findByDevType(devType);
            if (record && record->updateDuration(kMeasuredSeconds))
                BackupIni::recordDuration(devType, record->m_duration);
        }
    }
    FuzzEnvironment::processEvents();
    settings->sync();
    checkChanges(before, snapshot(root.path()), rootDir.relativeFilePath(updateDir),
                 rootDir.relativeFilePath(settings->fileName()), rootDir.relativeFilePath(getTempPath()));

    setSettings(nullptr);
    applDirPath.clear();
    return 0;
}
