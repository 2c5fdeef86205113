#pragma once

#include <QString>
#include <QtGlobal>

class FirmwareUpdate;
class QFile;

// What the device records and the OTA server need from the firmware file
// list: the record held for a device type and whether a client can be
// offered something newer. The list itself lives in the content layer; the
// layers above it get it in their constructors and read the records only.
// Checking a held file (intactFilePath, isIntact) shows the verdict in the
// file's row, so those two are not const.
class FirmwareCatalog
{
public:
    virtual ~FirmwareCatalog() = default;

    // The record of _devType, or null when the tool knows no file of that type.
    virtual const FirmwareUpdate* findByDevType(quint16 _devType) const = 0;
    // Whether a client of _devType running _version can be offered a newer file.
    virtual bool isUpdatePossible(quint16 _devType, quint32 _version) const = 0;
    // The path of the file held for _devType while it is the file on record
    // (the bytes verified at its download, or against its signature at
    // start); empty when there is none or it has changed since, which the
    // file's row then shows. Cheap while the file stays as it was.
    virtual QString intactFilePath(quint16 _devType) = 0;
    // The same judgement for _open, the held file of _devType opened for
    // serving: its attributes are read from the open file.
    virtual bool isIntact(quint16 _devType, QFile& _open) = 0;
};
