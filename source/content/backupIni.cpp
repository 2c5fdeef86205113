#include "backupIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include "AuthFileDownloader.h"
#include "common/log.h"
#include "common/settings.h"

QString backupIniPath()
{
    return getUpdatePath() + "/backup.ini";
}

QStringList readKnownDevices(const QSettings& _ini)
{
    QStringList names;
    const QStringList values = _ini.value("devices/known_devices").toStringList();
    for (const QString& name : values) {
        if (!name.trimmed().isEmpty())
            names.append(name);
    }
    return names;
}

namespace {
bool isWindowsDeviceName(const QString& _name)
{
    // The device is named by what comes before the first dot, blanks at its end ignored.
    static const QRegularExpression device("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9]|CONIN\\$|CONOUT\\$) *$",
                                           QRegularExpression::CaseInsensitiveOption);
    return device.match(_name.section('.', 0, 0)).hasMatch();
}

bool isPortableName(const QString& _name)
{
    if (_name.endsWith('.') || _name.endsWith(' ') || isWindowsDeviceName(_name))
        return false;
    for (const QChar c : _name) {
        if (c.unicode() < 0x20 || QStringLiteral("<>:\"|?*").contains(c))
            return false;
    }
    return true;
}
} // namespace

QString storedFileName(const QString& _fileName)
{
    // The index is written on Windows as often as not: both separators count.
    QString name = _fileName;
    name.replace('\\', '/');
    const QString plain = name.mid(name.lastIndexOf('/') + 1);
    if (!isPortableName(plain))
        return QString();
    const QFileInfo info(plain);
    const QString stored = info.completeBaseName() + "." + info.suffix();
    for (const QChar c : stored) {
        if (c != '.')
            return stored;
    }
    return QString();
}

bool syncBackupIni(QSettings& _backup)
{
    _backup.sync();
    if (_backup.status() == QSettings::NoError)
        return true;
    LOG(QString("can not write '%1'").arg(_backup.fileName()));
    return false;
}

void removeUnverifiedFiles()
{
    const QDir folder(getUpdatePath());
    const QString pattern = QString("*") + AuthFileDownloader::kPartSuffix;
    for (const QString& name : folder.entryList({pattern}, QDir::Files | QDir::Hidden)) {
        if (QFile::remove(folder.filePath(name)))
            LOG(QString("removed unverified file '%1'").arg(name));
        else
            LOG(QString("can not remove unverified file '%1'").arg(name));
    }
}
