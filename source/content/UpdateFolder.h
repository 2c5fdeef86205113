#pragma once

#include <QString>

// The update folder holds the firmware files the tool keeps, their
// signatures and "backup.ini". Names that reach it come from the update
// index and from INI files a user can edit, so only plain names directly
// inside the folder are ever written, copied or deleted.
class UpdateFolder
{
public:
    // Whether _name names a file directly inside a folder, the same on every
    // platform: no folder part, drive or stream, no "." or "..", no control or
    // reserved character and no device name of Windows (CON, NUL, COM1, ...).
    static bool isPlainFileName(const QString& _name);

    // The plain name under which a file named _fileName by the update index is
    // stored in the update folder: any directory part dropped, then
    // completeBaseName + "." + suffix. Empty when that name could not be a file
    // of its own inside the folder on every system the tool runs on: nothing but
    // dots; a character Windows does not allow in names (a colon would name a
    // drive or a stream); a name Windows keeps for a device ("CON", "nul.bin",
    // "COM1.ota"); a trailing dot or blank, which Windows drops; no
    // extension; a name the tool keeps for files of its own ("backup.ini",
    // its lock file, the update script) or for a signature or a partial
    // download, which would take the place of another file's.
    static QString storedFileName(const QString& _fileName);

    // The extension of every signature file ("update/UpdateSigExt", "sig"
    // unless set otherwise).
    static QString signatureSuffix();
    // The name of the signature kept beside the plain file name _plainName.
    static QString signatureName(const QString& _plainName);
    // Removes the file _plainName and its signature from the update folder.
    static void removeWithSignature(const QString& _plainName);

    // The path of a plain file name in the update folder.
    static QString filePath(const QString& _plainName);

    // Removes what an interrupted download left in the update folder: ".part"
    // files, which were never verified.
    static void removeUnverifiedFiles();
};
