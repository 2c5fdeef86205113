#pragma once

#include <QStringList>

// Collects the messages logged while it exists (and still passes them on to
// the handler that was installed before).
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    const QStringList& lines() const;
    int count(const QString& _text) const;     // lines equal to _text
    bool contains(const QString& _text) const; // a line containing _text
    void clear();
};
