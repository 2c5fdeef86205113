#pragma once

#include <QByteArray>
#include <QString>

// The bytes of a file; empty when it cannot be read.
QByteArray readFile(const QString& _path);
// Writes _bytes as the whole file; false when not all of them were written.
bool writeFile(const QString& _path, const QByteArray& _bytes);
