#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QSettings;

// "backup.ini" in the update folder: for every device type the tool knows,
// the firmware version and file it holds and the average time one device of
// that type took to update. This class is its one reader and writer; it also
// imports "production.ini", which describes the firmware shipped next to the
// tool. Every operation opens the file, works and syncs it at once.
class BackupIni
{
public:
    // One group of either file.
    struct Entry
    {
        quint16 devType = 0xFFFF;
        QString version;
        QString fileName;
        int duration = 0;
        // Size and SHA-256 (lower-case hex) of the file as verified at its
        // download, or against its signature at start; -1 and empty only
        // before the start-up steps ran.
        qint64 size = -1;
        QByteArray sha256;
    };

    static QString path();

    // The group names listed under devices/known_devices. An absent key, an empty
    // value and blank entries give no names.
    static QStringList readKnownDevices(const QSettings& _ini);

    // Start-up, in this order. Creates the update folder and writes
    // devices/known_devices and devices/keep_old back, so that both are in
    // the file; removes what interrupted downloads left.
    static void initBackupIni();
    // A group whose file has gone loses its version and file; it stays known
    // with its id and measured duration. So does one whose file has no
    // digest on record and fails its signature (the signature file beside
    // it, checked with the compiled-in key); one that passes gets the
    // digest of the bytes checked.
    static void preProcessBackupIni();
    // Copies what _productionDir ships, is newer than what is held and
    // passes its signature (shipped beside it) into the update folder, with
    // the signature, and records it with the digest of the bytes checked.
    // Returns every entry of production.ini for the file list, in file
    // order; the tool's own entry carries _toolVersion.
    static QList<Entry> processProductionIni(const QString& _productionDir, const QString& _toolVersion);
    // Copies _sourceDir/_file to _targetDir unless it is there already; a
    // copy replaces _oldFile unless _keepOld. False when a copy failed or
    // _file is no plain file name; an _oldFile that is none stays.
    static bool copyFirmwareFile(const QString& _sourceDir, const QString& _targetDir, const QString& _file,
                                 const QString& _oldFile, bool _keepOld);
    // Every group of the file, in the order of devices/known_devices.
    static QList<Entry> entries();

    // A verified download of _devType is held as _storedName in version
    // _version, _size bytes with SHA-256 _sha256. It is recorded first; the
    // file it replaces goes only once the new one is on record, unless
    // devices/keep_old. False, with nothing deleted, when the record could
    // not be written.
    static bool registerFile(quint16 _devType, const QString& _version, const QString& _storedName, qint64 _size,
                             const QByteArray& _sha256);
    // The average update duration of _devType.
    static void recordDuration(quint16 _devType, int _seconds);

    // The highest update index serial accepted, kept here as well as in the
    // settings: deleting either file alone does not let an older index in.
    static constexpr const char* kIndexSerialKey = "index/highest_serial";
    // 0 when there is none (or no number).
    static quint64 indexSerial();
    static bool setIndexSerial(quint64 _serial);

    // Writes _backup to disk; false, with a log line, when that failed and the
    // file on disk keeps what it held before.
    static bool sync(QSettings& _backup);
    // What "backup.ini" holds of a shipped file's type: no version, an older
    // one (the shipped file replaces it) or the same or a newer one.
    enum class HeldVersion
    {
        None,
        Older,
        SameOrNewer
    };
    static HeldVersion heldVersion(const QSettings& _backup, const QStringList& _backupGroups, const Entry& _shipped);
    // A shipped file's bytes, if its signature shipped beside it holds.
    static bool readShipped(const QString& _productionDir, const QString& _fileName, QByteArray* _bytes);
};
