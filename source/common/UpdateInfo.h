#pragma once

#include <QByteArray>
#include <QString>

#include "common.h"

// A newer file that was announced but not applied yet.
class UpdateInfo
{
public:
    quint32 version = kNoVersion;
    QString fileName;
    // What the signed index says the file is: its size and SHA-256 (lower-case
    // hex); size -1 when the index gave neither.
    qint64 size = -1;
    QByteArray sha256;

    virtual void setVersion(quint32 _version) { version = _version; }
    // No pending update any more.
    void clear()
    {
        setVersion(kNoVersion);
        fileName.clear();
        size = -1;
        sha256.clear();
    }
    QString versionString() const { return formatVersion(version); }
};
