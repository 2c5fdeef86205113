#pragma once

#include <QString>
#include <QStringList>

class QSettings;

// "backup.ini" in the update folder: which firmware the tool holds per device type.
QString backupIniPath();

// The group names listed under devices/known_devices. An absent key, an empty
// value and blank entries give no names.
QStringList readKnownDevices(const QSettings& _ini);

// Whether _name names a file directly inside a folder, the same on every
// platform: no folder part, drive or stream, no "." or "..", no control or
// reserved character and no device name of Windows (CON, NUL, COM1, ...).
bool isPlainFileName(const QString& _name);

// The plain name under which a file named _fileName by the update index is
// stored in the update folder: any directory part dropped, then
// completeBaseName + "." + suffix. Empty when that name could not be a file
// inside the folder (nothing but dots).
QString storedFileName(const QString& _fileName);
