#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The bytes of a file; empty when it cannot be read.
QByteArray readFile(const QString& _path);
// Writes _bytes as the whole file; false when not all of them were written.
bool writeFile(const QString& _path, const QByteArray& _bytes);
// The records of a CSV file as RFC 4180 reads them (fields in double quotes
// may hold commas, doubled quotes and line breaks; records end with CR LF).
QList<QStringList> parseCsv(const QByteArray& _utf8);
