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
// of its own inside the folder on every system the tool runs on: nothing but
// dots; a character Windows does not allow in names (a colon would name a
// drive or a stream); a name Windows keeps for a device ("CON", "nul.bin",
// "COM1.ota"); a trailing dot or blank, which Windows drops.
QString storedFileName(const QString& _fileName);

// Writes _backup to disk; false, with a log line, when that failed and the
// file on disk keeps what it held before.
bool syncBackupIni(QSettings& _backup);

// Removes what an interrupted download left in the update folder: ".part"
// files, which were never verified.
void removeUnverifiedFiles();
