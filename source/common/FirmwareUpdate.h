#pragma once

#include "FileVersionInfo.h"
#include "HeldFileDigest.h"
#include "ProgressHelper.h"

// One row of the firmware file list, and the stick's own update record.
class FirmwareUpdate : public ProgressHelper, public FileVersionInfo
{
public:
    FirmwareUpdate() = default;
    FirmwareUpdate(quint16 _devType, const QString& _versionText);
    FirmwareUpdate(const FirmwareUpdate&) = default;
    FirmwareUpdate& operator=(const FirmwareUpdate&) = default;

    // Folds one measured update of a device of this type into the average
    // (the new value weighs one third). False for no valid measurement, which
    // changes nothing; the caller records a new average in "backup.ini".
    bool updateDuration(int _seconds);

    int m_duration = -1; // average seconds to update one device of this type
    // What the held file (m_fileName) was when it was verified; a file
    // without one on record is not served.
    HeldFileDigest m_fileDigest;
};
