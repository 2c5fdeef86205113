#include "DevVersionInfo.h"

#include "FirmwareCatalog.h"
#include "FirmwareUpdate.h"

const FirmwareUpdate* DevVersionInfo::fileRecord() const
{
    return m_catalog ? m_catalog->findByDevType(m_devType) : nullptr;
}

bool DevVersionInfo::hasUpdate() const
{
    return hasUpdateFrom(fileRecord());
}

bool DevVersionInfo::hasUpdateFrom(const FirmwareUpdate* _record) const
{
    // An unknown file version never counts as newer.
    return _record && _record->m_version != kNoVersion && _record->m_version > m_version;
}

QString DevVersionInfo::updateVersionString() const
{
    const FirmwareUpdate* record = fileRecord();
    return record ? record->versionString() : QString();
}

quint32 DevVersionInfo::updateVersion() const
{
    const FirmwareUpdate* record = fileRecord();
    return record ? record->m_version : kNoVersion;
}
