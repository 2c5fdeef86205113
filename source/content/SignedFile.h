#pragma once

#include <QByteArray>
#include <QString>

// A file on disk checked against its detached signature with the
// compiled-in key. The file is read once; the bytes checked are the bytes
// handed back, so that what the caller hashes, copies or runs is what the
// signature covers, whatever happens to the file afterwards.
class SignedFile
{
public:
    // Files this large are not read: nothing the tool downloads is larger.
    static constexpr qint64 kMaxSize = 64 * 1024 * 1024;

    // Reads _path whole and checks it against the signature file _sigPath.
    // True with the bytes in _bytes; false with the reason in _why.
    static bool read(const QString& _path, const QString& _sigPath, QByteArray* _bytes, QString* _why);
};
