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

// QSettings guards an INI file with "<file>.lock", which holds the writer's
// process id. A writer killed between creating that file and writing its id
// leaves it empty, and every later write would wait 30 s for it to age. Such
// a file is removed; called at start, before the first write.
void removeEmptyLockFile(const QString& _iniFile);
