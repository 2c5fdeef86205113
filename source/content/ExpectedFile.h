#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// What the signed update index says a firmware file is: the device type and
// version it is offered for and, when the index states them, its size and
// SHA-256. The signature covers a file's bytes only; this ties the bytes to
// the name, type and version they are offered under.
class ExpectedFile
{
public:
    // Expects nothing: every file fits.
    ExpectedFile() = default;
    // _size -1 and an empty _sha256: the index gave no digest.
    ExpectedFile(quint16 _devType, quint32 _version, qint64 _size, const QByteArray& _sha256);

    bool isSet() const { return m_set; }
    bool hasDigest() const { return m_size >= 0; }

    // Why a file of _size bytes with SHA-256 _sha256 (lower-case hex) that
    // begins with _head (its first bytes, at least the OTA header's) is not
    // the expected one; empty when it is.
    QString mismatch(const QByteArray& _head, qint64 _size, const QByteArray& _sha256) const;

private:
    bool m_set = false;
    quint16 m_devType = 0;
    quint32 m_version = 0;
    qint64 m_size = -1;
    QByteArray m_sha256;
};
