#include "BackupIni.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include "SignedFile.h"
#include "UpdateFolder.h"
#include "common/DeviceType.h"
#include "common/common.h"
#include "common/log.h"
#include "common/settings.h"

namespace {
QByteArray sha256Hex(const QByteArray& _bytes)
{
    return QCryptographicHash::hash(_bytes, QCryptographicHash::Sha256).toHex();
}

// A size and a SHA-256 of 64 lower-case hex digits: anything else matches no file.
bool hasDigest(const QSettings& _backup, const QString& _group)
{
    bool sizeOk = false;
    const qint64 size = _backup.value(_group + "/size").toLongLong(&sizeOk);
    static const QRegularExpression kHexDigest("^[0-9a-f]{64}$");
    return sizeOk && size >= 0 && kHexDigest.match(_backup.value(_group + "/sha256").toString()).hasMatch();
}
} // namespace

QString BackupIni::path()
{
    return getUpdatePath() + "/backup.ini";
}

QStringList BackupIni::readKnownDevices(const QSettings& _ini)
{
    QStringList names;
    const QStringList values = _ini.value("devices/known_devices").toStringList();
    for (const QString& name : values) {
        if (!name.trimmed().isEmpty())
            names.append(name);
    }
    return names;
}

bool BackupIni::sync(QSettings& _backup)
{
    _backup.sync();
    if (_backup.status() == QSettings::NoError)
        return true;
    LOG(lcContent, QString("can not write '%1'").arg(_backup.fileName()));
    return false;
}

void BackupIni::initBackupIni()
{
    const QString updatePath = getUpdatePath();
    if (!QDir().mkpath(updatePath)) {
        LOG(lcContent, QString("can not create backup path '%1'").arg(updatePath));
        return;
    }
    QSettings backup(path(), QSettings::IniFormat);
    backup.setValue("devices/known_devices", readKnownDevices(backup));
    backup.setValue("devices/keep_old", backup.value("devices/keep_old", false).toBool());
    sync(backup);
    UpdateFolder::removeUnverifiedFiles();
}

void BackupIni::preProcessBackupIni()
{
    QSettings backup(path(), QSettings::IniFormat);
    const QStringList groups = readKnownDevices(backup);
    for (const QString& group : groups) {
        const QString file = backup.value(group + "/file").toString();
        if (!file.isEmpty() && QFileInfo(getUpdatePath() + "/" + file).isFile()) {
            if (hasDigest(backup, group))
                continue;
            // A file held without a digest (shipped, or held from before
            // digests were recorded) is checked against its signature once;
            // from then on its digest stands for it.
            QByteArray bytes;
            QString why;
            if (UpdateFolder::isPlainFileName(file) &&
                SignedFile::read(UpdateFolder::filePath(file),
                                 UpdateFolder::filePath(UpdateFolder::signatureName(file)), &bytes, &why)) {
                backup.setValue(group + "/size", bytes.size());
                backup.setValue(group + "/sha256", sha256Hex(bytes));
                LOG(lcContent, QString("held file '%1' verified against its signature").arg(file));
                continue;
            }
            LOG(lcContent, QString("held file '%1' is not used: %2").arg(file, why.isEmpty() ? "no plain name" : why));
        } else if (file.isEmpty() && !backup.contains(group + "/ver")) {
            continue; // pruned before
        } else {
            LOG(lcContent, QString("missing file: '%1'").arg(file));
        }
        backup.remove(group + "/ver");
        backup.remove(group + "/file");
        backup.remove(group + "/size");
        backup.remove(group + "/sha256");
    }
    sync(backup);
}

BackupIni::HeldVersion BackupIni::heldVersion(const QSettings& _backup, const QStringList& _backupGroups,
                                              const Entry& _shipped)
{
    // The first backup group of this type decides, even when its version is empty.
    for (const QString& backupGroup : _backupGroups) {
        if (_backup.value(backupGroup + "/id").toUInt() != _shipped.devType)
            continue;
        const QString backupVersion = _backup.value(backupGroup + "/ver").toString();
        if (backupVersion.isEmpty())
            return HeldVersion::None;
        return parseVersion(backupVersion) < parseVersion(_shipped.version) ? HeldVersion::Older
                                                                            : HeldVersion::SameOrNewer;
    }
    return HeldVersion::None;
}

bool BackupIni::readShipped(const QString& _productionDir, const QString& _fileName, QByteArray* _bytes)
{
    if (!QFileInfo(_productionDir + "/" + _fileName).isFile()) {
        LOG(lcContent, QString("missing file: '%1'").arg(_fileName));
        return false;
    }
    QString why;
    if (!UpdateFolder::isPlainFileName(_fileName) ||
        !SignedFile::read(_productionDir + "/" + _fileName,
                          _productionDir + "/" + UpdateFolder::signatureName(_fileName), _bytes, &why)) {
        LOG(lcContent, QString("shipped file '%1' is not used: %2").arg(_fileName, why));
        return false;
    }
    return true;
}

QList<BackupIni::Entry> BackupIni::processProductionIni(const QString& _productionDir, const QString& _toolVersion)
{
    QSettings production(_productionDir + "/production.ini", QSettings::IniFormat);
    QSettings backup(path(), QSettings::IniFormat);
    QStringList backupGroups = readKnownDevices(backup);
    const bool keepOld = backup.value("devices/keep_old", false).toBool();

    QList<Entry> shipped;
    for (const QString& group : readKnownDevices(production)) {
        Entry entry;
        entry.devType = static_cast<quint16>(production.value(group + "/id").toUInt());
        entry.version = DeviceType::isTool(entry.devType) ? _toolVersion : production.value(group + "/ver").toString();
        entry.fileName = production.value(group + "/file").toString();
        entry.duration = production.value(group + "/duration").toInt();
        shipped.append(entry);
        if (entry.fileName.isEmpty())
            continue;

        const HeldVersion held = heldVersion(backup, backupGroups, entry);
        if (held == HeldVersion::SameOrNewer)
            continue;

        // A shipped file is held only when its signature, shipped beside it,
        // holds; its digest then stands for it, as for a download.
        QByteArray bytes;
        if (!readShipped(_productionDir, entry.fileName, &bytes))
            continue;
        if (!copyFirmwareFile(_productionDir, getUpdatePath(), entry.fileName, backup.value(group + "/file").toString(),
                              keepOld))
            continue;
        const QString signature = UpdateFolder::signatureName(entry.fileName);
        if (!QFile::exists(UpdateFolder::filePath(signature)))
            QFile::copy(_productionDir + "/" + signature, UpdateFolder::filePath(signature));
        backup.setValue(group + "/id", entry.devType);
        backup.setValue(group + "/ver", entry.version);
        backup.setValue(group + "/file", entry.fileName);
        backup.setValue(group + "/size", bytes.size());
        backup.setValue(group + "/sha256", sha256Hex(bytes));
        if (held == HeldVersion::None)
            backup.setValue(group + "/duration", entry.duration);
        const QString typeName = QString::number(entry.devType);
        if (!backupGroups.contains(typeName)) {
            backupGroups.append(typeName);
            backup.setValue("devices/known_devices", backupGroups);
        }
    }
    sync(backup);
    return shipped;
}

bool BackupIni::copyFirmwareFile(const QString& _sourceDir, const QString& _targetDir, const QString& _file,
                                 const QString& _oldFile, bool _keepOld)
{
    // The names come from INI files a user can edit: only a file directly in
    // the folders is ever copied or deleted.
    if (!UpdateFolder::isPlainFileName(_file)) {
        LOG(lcContent, QString("not a plain file name: '%1'").arg(_file));
        return false;
    }
    const QString source = QString("%1/%2").arg(_sourceDir, _file);
    const QString target = QString("%1/%2").arg(_targetDir, _file);
    if (!QFile::exists(source) || QFile::exists(target))
        return true;
    if (!QFile::copy(source, target))
        return false;
    if (!_keepOld && !_oldFile.isEmpty()) {
        if (!UpdateFolder::isPlainFileName(_oldFile)) {
            LOG(lcContent, QString("not a plain file name: '%1'").arg(_oldFile));
            return true;
        }
        // The old file's signature goes with it, unless the new file's has that name.
        QStringList old{_oldFile};
        if (UpdateFolder::signatureName(_oldFile) != UpdateFolder::signatureName(_file))
            old.append(UpdateFolder::signatureName(_oldFile));
        for (const QString& name : old) {
            const QString oldPath = QString("%1/%2").arg(_targetDir, name);
            if (QFile::exists(oldPath))
                QFile::remove(oldPath);
        }
    }
    return true;
}

QList<BackupIni::Entry> BackupIni::entries()
{
    QSettings backup(path(), QSettings::IniFormat);
    QList<Entry> all;
    for (const QString& group : readKnownDevices(backup)) {
        Entry entry;
        entry.devType = static_cast<quint16>(backup.value(group + "/id").toUInt());
        entry.version = backup.value(group + "/ver").toString();
        entry.fileName = backup.value(group + "/file").toString();
        entry.duration = backup.value(group + "/duration", 0).toInt();
        if (hasDigest(backup, group)) {
            entry.size = backup.value(group + "/size").toLongLong();
            entry.sha256 = backup.value(group + "/sha256").toByteArray();
        }
        all.append(entry);
    }
    return all;
}

bool BackupIni::registerFile(quint16 _devType, const QString& _version, const QString& _storedName, qint64 _size,
                             const QByteArray& _sha256)
{
    QSettings backup(path(), QSettings::IniFormat);
    QStringList known = readKnownDevices(backup);
    const QString group = QString::number(_devType);
    const bool wasKnown = known.contains(group);
    const QString oldFile = backup.value(group + "/file").toString();
    struct Previous
    {
        QString key;
        bool present;
        QVariant value;
    };
    QList<Previous> previous;
    for (const QString& key : {QString("devices/known_devices"), group + "/id", group + "/ver", group + "/file",
                               group + "/size", group + "/sha256"})
        previous.append({key, backup.contains(key), backup.value(key)});
    if (!wasKnown) {
        known.append(group);
        backup.setValue("devices/known_devices", known);
    }
    backup.setValue(group + "/id", _devType);
    backup.setValue(group + "/ver", _version);
    backup.setValue(group + "/file", _storedName);
    if (_size >= 0) {
        backup.setValue(group + "/size", _size);
        backup.setValue(group + "/sha256", QString::fromLatin1(_sha256));
    } else {
        backup.remove(group + "/size");
        backup.remove(group + "/sha256");
    }
    // The file it replaces goes only once the new one is on record: until
    // then "backup.ini" names it.
    if (!sync(backup)) {
        // Qt keeps values it could not write in its cache of the file, and
        // the next QSettings on the file would write them: they go back to
        // what the file on disk holds.
        for (const Previous& key : previous) {
            if (key.present)
                backup.setValue(key.key, key.value);
            else
                backup.remove(key.key);
        }
        backup.sync();
        return false;
    }
    if (wasKnown && !backup.value("devices/keep_old", false).toBool()) {
        // Only a plain name inside the update folder is ever deleted.
        // Its signature goes with it, unless the new file's has that name.
        if (!oldFile.isEmpty() && oldFile != _storedName && UpdateFolder::storedFileName(oldFile) == oldFile) {
            if (UpdateFolder::signatureName(oldFile) == UpdateFolder::signatureName(_storedName))
                QFile::remove(UpdateFolder::filePath(oldFile));
            else
                UpdateFolder::removeWithSignature(oldFile);
        }
    }
    return true;
}

quint64 BackupIni::indexSerial()
{
    QSettings backup(path(), QSettings::IniFormat);
    bool ok = false;
    const quint64 serial = backup.value(kIndexSerialKey).toULongLong(&ok);
    return ok ? serial : 0;
}

bool BackupIni::setIndexSerial(quint64 _serial)
{
    QSettings backup(path(), QSettings::IniFormat);
    backup.setValue(kIndexSerialKey, _serial);
    return sync(backup);
}

void BackupIni::recordDuration(quint16 _devType, int _seconds)
{
    QSettings backup(path(), QSettings::IniFormat);
    backup.setValue(QString("%1/duration").arg(_devType), _seconds);
    sync(backup);
}
