#include "SignedFile.h"

#include <QFile>

#include "botan/BotanWrapper.h"

namespace {
bool readWhole(const QString& _path, qint64 _limit, QByteArray* _bytes)
{
    QFile file(_path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential() || file.size() > _limit)
        return false;
    *_bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}
} // namespace

bool SignedFile::read(const QString& _path, const QString& _sigPath, QByteArray* _bytes, QString* _why)
{
    QByteArray bytes;
    QByteArray signature;
    if (!readWhole(_path, kMaxSize, &bytes)) {
        *_why = QString("'%1' cannot be read").arg(_path);
        return false;
    }
    if (!readWhole(_sigPath, qint64(BotanWrapper::kBufferSize), &signature)) {
        *_why = QString("no signature '%1'").arg(_sigPath);
        return false;
    }
    BotanWrapper* wrapper = &BotanWrapper::shared();
    if (!wrapper || !wrapper->loadEmbeddedKey()) {
        *_why = "no key to check the signature with";
        return false;
    }
    if (!wrapper->verify(bytes, signature)) {
        *_why = QString("'%1' is not signed by '%2'").arg(_path, _sigPath);
        return false;
    }
    *_bytes = bytes;
    return true;
}
