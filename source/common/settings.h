#pragma once

#include <QString>

class QSettings;

// The one settings object of the process; owned by the entry point (or a test).
QSettings* getSettings();
void setSettings(QSettings* _settings);

// Working folders, derived from the folder of the settings file on every call.
// Neither function creates its folder.
QString getUpdatePath();
QString getTempPath();

// The folder of the executable; "help", "licence", "translation" and "device" live there.
extern QString applDirPath;
