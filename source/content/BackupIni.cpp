#include "BackupIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "UpdateFolder.h"
#include "common/DeviceType.h"
#include "common/common.h"
#include "common/log.h"
#include "common/settings.h"

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
        if (!file.isEmpty() && QFileInfo(getUpdatePath() + "/" + file).isFile())
            continue;
        if (file.isEmpty() && !backup.contains(group + "/ver"))
            continue; // pruned before
        LOG(lcContent, QString("missing file: '%1'").arg(file));
        backup.remove(group + "/ver");
        backup.remove(group + "/file");
        backup.remove(group + "/size");
        backup.remove(group + "/sha256");
    }
    sync(backup);
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
        entry.version = entry.devType == DeviceType::Tool ? _toolVersion : production.value(group + "/ver").toString();
        entry.fileName = production.value(group + "/file").toString();
        entry.duration = production.value(group + "/duration").toInt();
        shipped.append(entry);
        if (entry.fileName.isEmpty())
            continue;

        // The first backup group of this type decides, even when its version is empty.
        bool found = false;
        bool older = false;
        for (const QString& backupGroup : backupGroups) {
            if (backup.value(backupGroup + "/id").toUInt() != entry.devType)
                continue;
            const QString backupVersion = backup.value(backupGroup + "/ver").toString();
            if (!backupVersion.isEmpty()) {
                found = true;
                older = parseVersion(backupVersion) < parseVersion(entry.version);
            }
            break;
        }
        if (found && !older)
            continue;

        if (!copyFirmwareFile(_productionDir, getUpdatePath(), entry.fileName, backup.value(group + "/file").toString(),
                              keepOld))
            continue;
        // A shipped file that is missing is not recorded as held.
        if (!QFileInfo(getUpdatePath() + "/" + entry.fileName).isFile()) {
            LOG(lcContent, QString("missing file: '%1'").arg(entry.fileName));
            continue;
        }
        backup.setValue(group + "/id", entry.devType);
        backup.setValue(group + "/ver", entry.version);
        backup.setValue(group + "/file", entry.fileName);
        // A shipped file was never checked against a digest.
        backup.remove(group + "/size");
        backup.remove(group + "/sha256");
        if (!found)
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
        const QString old = QString("%1/%2").arg(_targetDir, _oldFile);
        if (QFile::exists(old))
            QFile::remove(old);
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
        bool sizeOk = false;
        const qint64 size = backup.value(group + "/size").toLongLong(&sizeOk);
        if (sizeOk && size >= 0) {
            entry.size = size;
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
        if (!oldFile.isEmpty() && oldFile != _storedName && UpdateFolder::storedFileName(oldFile) == oldFile) {
            const QString oldPath = UpdateFolder::filePath(oldFile);
            if (QFile::exists(oldPath))
                QFile::remove(oldPath);
        }
    }
    return true;
}

void BackupIni::recordDuration(quint16 _devType, int _seconds)
{
    QSettings backup(path(), QSettings::IniFormat);
    backup.setValue(QString("%1/duration").arg(_devType), _seconds);
    sync(backup);
}
