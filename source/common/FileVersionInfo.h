#pragma once

#include "UpdateInfo.h"
#include "VersionInfo.h"

// Version state of a firmware file (or of the tool): the file present and the
// newer one announced by the update index.
class FileVersionInfo : public VersionInfo
{
public:
    bool hasUpdate() const override { return m_update.version != kNoVersion && m_update.version != m_version; }
    QString updateVersionString() const override { return m_update.versionString(); }
    quint32 updateVersion() const override { return m_update.version; }
    virtual void setVersion(quint32 _version);

    // Takes _version as the pending update when it is newer than the present
    // and the pending version; true when it was taken (without a digest).
    bool setUpdateInfo(unsigned int _version, const QString _fileName);
    void setUpdateInfoFromXml(const QString& _line);
    void applyUpdateInfo();

    quint16 m_devType = 0xFFFF;
    QString m_fileName;
    UpdateInfo m_update;
};
