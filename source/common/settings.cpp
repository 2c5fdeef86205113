#include "settings.h"

#include <QFileInfo>
#include <QSettings>

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
