#pragma once

#include "VersionInfo.h"

class FirmwareCatalog;
class FirmwareUpdate;

// Version state of a device in the field, compared against the firmware file
// held for its device type.
class DevVersionInfo : public VersionInfo
{
public:
    bool hasUpdate() const override;
    // The same answer against a record the caller has already looked up for
    // this device's type (null: no file held); lets a walk over many devices
    // look each type up once.
    bool hasUpdateFrom(const FirmwareUpdate* _record) const;
    QString updateVersionString() const override;
    quint32 updateVersion() const override;

    quint16 m_devType = 0xFFFF;
    // The file list its type's record is looked up in; none: no file is held.
    const FirmwareCatalog* m_catalog = nullptr;

private:
    const FirmwareUpdate* fileRecord() const;
};
