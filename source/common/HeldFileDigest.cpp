#include "HeldFileDigest.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
#ifdef Q_OS_UNIX
// One system call, and no time zone: this runs for every image block, and
// Qt's file times are local times.
template <typename Look> bool fromStat(const struct stat& _info, Look& _look)
{
    if (!S_ISREG(_info.st_mode))
        return false;
    _look.exists = true;
    _look.size = qint64(_info.st_size);
    _look.modified = qint64(_info.st_mtim.tv_sec) * 1000000000 + _info.st_mtim.tv_nsec;
    _look.changed = qint64(_info.st_ctim.tv_sec) * 1000000000 + _info.st_ctim.tv_nsec;
    _look.node = quint64(_info.st_ino);
    return true;
}
#else
template <typename Look> void fromFileInfo(const QFileInfo& _info, Look& _look)
{
    if (!_info.isFile())
        return;
    _look.exists = true;
    _look.size = _info.size();
    _look.modified = _info.lastModified().toMSecsSinceEpoch() * 1000000;
    _look.changed = _info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
}
#endif
} // namespace

HeldFileDigest::HeldFileDigest(qint64 _size, const QByteArray& _sha256) : m_size(_size), m_sha256(_sha256)
{}

HeldFileDigest::Look HeldFileDigest::lookAt(const QString& _path)
{
    Look look;
    look.path = _path;
#ifdef Q_OS_UNIX
    struct stat info;
    if (::stat(QFile::encodeName(_path).constData(), &info) == 0)
        fromStat(info, look);
#else
    fromFileInfo(QFileInfo(_path), look);
#endif
    return look;
}

HeldFileDigest::Look HeldFileDigest::lookAt(QFile& _open)
{
    Look look;
    look.path = _open.fileName();
#ifdef Q_OS_UNIX
    struct stat info;
    if (_open.handle() >= 0 && ::fstat(_open.handle(), &info) == 0)
        fromStat(info, look);
#else
    fromFileInfo(QFileInfo(_open), look);
#endif
    return look;
}

bool HeldFileDigest::matches(const QString& _path, QString* _why, bool* _fresh) const
{
    QFile file(_path);
    return judge(lookAt(_path), file, _why, _fresh);
}

bool HeldFileDigest::matches(QFile& _open, QString* _why, bool* _fresh) const
{
    return judge(lookAt(_open), _open, _why, _fresh);
}

bool HeldFileDigest::judge(const Look& _look, QFile& _file, QString* _why, bool* _fresh) const
{
    const bool fresh = !m_looked || !(_look == m_lastLook);
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
    } else if (!_look.exists) {
        why = "no such file";
    } else if (_look.size != m_size) {
        why = QString("%1 bytes, %2 on record").arg(_look.size).arg(m_size);
    } else {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        const bool readable =
            (_file.isOpen() ? _file.seek(0) : _file.open(QIODevice::ReadOnly)) && hash.addData(&_file);
        if (!readable) {
            why = "cannot be read";
        } else {
            const QByteArray sha256 = hash.result().toHex();
            if (sha256 != m_sha256)
                why =
                    QString("SHA-256 %1, %2 on record").arg(QString::fromLatin1(sha256), QString::fromLatin1(m_sha256));
        }
    }
    m_looked = true;
    m_lastLook = _look;
    m_lastVerdict = why.isEmpty();
    m_lastWhy = why;
    if (_why)
        *_why = why;
    return m_lastVerdict;
}
