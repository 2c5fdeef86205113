#include "TestFiles.h"

#include <QFile>

QByteArray readFile(const QString& _path)
{
    QFile file(_path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& _path, const QByteArray& _bytes)
{
    QFile file(_path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(_bytes) == _bytes.size();
}
