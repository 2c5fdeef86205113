#pragma once

#include <QString>

#include "common.h"

// A newer file that was announced but not applied yet.
class UpdateInfo
{
public:
    quint32 version = kNoVersion;
    QString fileName;

    virtual void setVersion(quint32 _version) { version = _version; }
    QString versionString() const { return formatVersion(version); }
};
