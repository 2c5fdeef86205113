#include "FirmwareUpdate.h"

FirmwareUpdate::FirmwareUpdate(quint16 _devType, const QString& _versionText)
{
    m_devType = _devType;
    setVersion(parseVersion(_versionText));
}

bool FirmwareUpdate::updateDuration(int _seconds)
{
    if (_seconds < 0)
        return false;
    // In 64 bits: the stored average comes from backup.ini and may be any int;
    // the weighted mean of ints always fits an int again.
    m_duration = int((qint64(_seconds) + 2 * qint64(m_duration) + 2) / 3);
    return true;
}
