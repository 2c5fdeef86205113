#include "FirmwareUpdate.h"

FirmwareUpdate::FirmwareUpdate(quint16 _devType, const QString& _versionText)
{
    m_devType = _devType;
    setVersion(parseVersion(_versionText));
}
