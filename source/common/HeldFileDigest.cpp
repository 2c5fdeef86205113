#include "HeldFileDigest.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

HeldFileDigest::HeldFileDigest(qint64 _size, const QByteArray& _sha256) : m_size(_size), m_sha256(_sha256)
{}

bool HeldFileDigest::matches(const QString& _path, QString* _why, bool* _fresh) const
{
    QFileInfo info(_path);
    info.setCaching(false);
    Look look;
    look.path = _path;
    look.exists = info.isFile();
    if (look.exists) {
        look.size = info.size();
        look.modified = info.lastModified();
        look.changed = info.metadataChangeTime();
    }
    const bool fresh = !m_looked || !(look == m_lastLook);
    if (_fresh)
        *_fresh = fresh;
    if (!fresh) {
        if (_why)
            *_why = m_lastWhy;
        return m_lastVerdict;
    }

    QString why;
    if (!isSet()) {
        why = "no size and SHA-256 on record";
    } else if (!look.exists) {
        why = "no such file";
    } else if (look.size != m_size) {
        why = QString("%1 bytes, %2 on record").arg(look.size).arg(m_size);
    } else {
        QFile file(_path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
            why = "cannot be read";
        } else {
            const QByteArray sha256 = hash.result().toHex();
            if (sha256 != m_sha256)
                why =
                    QString("SHA-256 %1, %2 on record").arg(QString::fromLatin1(sha256), QString::fromLatin1(m_sha256));
        }
    }
    m_looked = true;
    m_lastLook = look;
    m_lastVerdict = why.isEmpty();
    m_lastWhy = why;
    if (_why)
        *_why = why;
    return m_lastVerdict;
}
