#include "DevVersionInfo.h"

#include "FirmwareUpdate.h"
#include "content/FirmwareUpdateFileModel.h"

const FirmwareUpdate* DevVersionInfo::fileRecord() const
{
    return theFileModel ? theFileModel->findByDevType(m_devType) : nullptr;
}

bool DevVersionInfo::hasUpdate() const
{
    const FirmwareUpdate* record = fileRecord();
    // An unknown file version never counts as newer.
    return record && record->m_version != kNoVersion && record->m_version > m_version;
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
