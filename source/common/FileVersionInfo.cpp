#include "FileVersionInfo.h"

#include "log.h"

void FileVersionInfo::setVersion(quint32 _version)
{
    if (_version != kNoVersion && m_update.version != kNoVersion && m_update.version <= _version)
        m_update.clear();
    m_version = _version;
}

bool FileVersionInfo::setUpdateInfo(unsigned int _version, const QString _fileName)
{
    // Only a strictly newer announcement is taken.
    if (_version == kNoVersion)
        return false;
    if (m_version != kNoVersion && _version <= m_version)
        return false;
    if (m_update.version != kNoVersion && _version <= m_update.version)
        return false;
    m_update.clear();
    m_update.setVersion(_version);
    m_update.fileName = _fileName;
    LOG(lcCommon, QString("updateInfo: ver '%1', m_update.version '%2', file '%3' '%4'")
                      .arg(versionString(), m_update.versionString(), _fileName, m_update.fileName));
    return true;
}

void FileVersionInfo::setUpdateInfoFromXml(const QString& _line)
{
    setUpdateInfo(parseVersion(xmlAttribute(_line, "version")), xmlAttribute(_line, "fileName"));
}

void FileVersionInfo::applyUpdateInfo()
{
    m_version = m_update.version;
    m_fileName = m_update.fileName;
    m_update.clear();
}
