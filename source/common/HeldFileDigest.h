#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// What a firmware file held in the update folder was when it was verified (at
// its download, or against its signature at start): its size and SHA-256.
// Whether a file on disk still holds those bytes is found by hashing it; the
// verdict is kept for as long as the file's size, modification time, metadata
// change time and identity stay the same, so that serving one image block
// costs a look at the file's attributes and no hashing. The change time
// cannot be set back by a user, as the modification time can.
class HeldFileDigest
{
public:
    // No digest: no file on disk matches it.
    HeldFileDigest() = default;
    // _sha256 in lower-case hex.
    HeldFileDigest(qint64 _size, const QByteArray& _sha256);

    bool isSet() const { return m_size >= 0; }
    qint64 size() const { return m_size; }
    QByteArray sha256() const { return m_sha256; }

    // Whether _path holds the bytes on record; _why says why not. _fresh
    // (when given) tells whether the verdict was reached now rather than
    // taken from the last look at an unchanged file.
    bool matches(const QString& _path, QString* _why, bool* _fresh = nullptr) const;
    // The same for a file already open for reading (its attributes are read
    // from the open file, and a hash reads it through it; the position is
    // left anywhere).
    bool matches(QFile& _open, QString* _why, bool* _fresh = nullptr) const;

private:
    // What a look at a file's attributes, without reading it, tells.
    struct Look
    {
        QString path;
        bool exists = false;
        qint64 size = -1;
        qint64 modified = 0; // nanoseconds, as the system keeps them
        qint64 changed = 0;
        quint64 node = 0; // the file itself where the system names it: a file moved into place is another
        bool operator==(const Look& _other) const
        {
            return path == _other.path && exists == _other.exists && size == _other.size &&
                   modified == _other.modified && changed == _other.changed && node == _other.node;
        }
    };
    static Look lookAt(const QString& _path);
    static Look lookAt(QFile& _open);
    bool judge(const Look& _look, QFile& _file, QString* _why, bool* _fresh) const;

    qint64 m_size = -1;
    QByteArray m_sha256;
    // The last verdict and the attributes of the file it was reached for.
    mutable Look m_lastLook;
    mutable bool m_looked = false;
    mutable bool m_lastVerdict = false;
    mutable QString m_lastWhy;
};
