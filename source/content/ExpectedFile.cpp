#include "ExpectedFile.h"

#include "common/OtaImageHeader.h"

ExpectedFile::ExpectedFile(quint16 _devType, quint32 _version, qint64 _size, const QByteArray& _sha256)
    : m_set(true), m_devType(_devType), m_version(_version), m_size(_size), m_sha256(_sha256)
{}

QString ExpectedFile::mismatch(const QByteArray& _head, qint64 _size, const QByteArray& _sha256) const
{
    if (!m_set)
        return QString();
    if (hasDigest() && _size != m_size)
        return QString("%1 bytes, the index says %2").arg(_size).arg(m_size);
    if (hasDigest() && _sha256 != m_sha256)
        return QString("SHA-256 %1, the index says %2")
            .arg(QString::fromLatin1(_sha256), QString::fromLatin1(m_sha256));
    QString why;
    if (OtaImageHeader::check(_head, _size, m_devType, m_version, &why) == OtaImageHeader::eCheckWrong)
        return "OTA header: " + why;
    return QString();
}
