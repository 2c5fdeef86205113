#pragma once

#include <QString>

#include "common.h"

// Base of the version records of files, devices and the tool itself.
class VersionInfo
{
public:
    virtual ~VersionInfo() = default;
    virtual bool hasUpdate() const = 0;
    virtual QString updateVersionString() const = 0;
    virtual quint32 updateVersion() const = 0;

    QString versionString() const { return formatVersion(m_version); }
    QString versionHtml(const QString& _colourCurrent, const QString& _colourUpdate) const;

    quint32 m_version = kNoVersion;
};
