#include "settings.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "log.h"

QString applDirPath;

namespace {
QSettings* s_settings = nullptr;

QString settingsFolder()
{
    if (!s_settings)
        return QString();
    return QFileInfo(s_settings->fileName()).absolutePath();
}
} // namespace

QSettings* getSettings()
{
    return s_settings;
}

void setSettings(QSettings* _settings)
{
    s_settings = _settings;
}

QString getUpdatePath()
{
    return settingsFolder() + "/Lumoran Tool/update";
}

QString getTempPath()
{
    return settingsFolder() + "/Lumoran Tool/temp";
}

void removeEmptyLockFile(const QString& _iniFile)
{
    const QFileInfo lock(_iniFile + ".lock");
    if (!lock.exists() || lock.size() != 0)
        return;
    if (QFile::remove(lock.filePath()))
        LOG(lcCommon, QString("removed empty lock file '%1'").arg(lock.filePath()));
}
