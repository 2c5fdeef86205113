#include "backupIni.h"

#include <QFileInfo>
#include <QSettings>

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

QString storedFileName(const QString& _fileName)
{
    // The index is written on Windows as often as not: both separators count.
    QString name = _fileName;
    name.replace('\\', '/');
    const QFileInfo info(name.mid(name.lastIndexOf('/') + 1));
    const QString stored = info.completeBaseName() + "." + info.suffix();
    for (const QChar c : stored) {
        if (c != '.')
            return stored;
    }
    return QString();
}
