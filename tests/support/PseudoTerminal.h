#pragma once

#include <QByteArray>
#include <QString>

// A real pseudo-terminal pair: the test holds the master end, the code under
// test opens the slave path as its serial port. Windows has none: there the
// object is never valid (tests that need one skip through isAvailable()).
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();

    static bool isAvailable();

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    bool write(const QByteArray& _bytes);
    // Reads what arrived at the master within _timeoutMs; keeps the Qt event loop running.
    QByteArray read(int _timeoutMs);
    // Reads until at least _minBytes arrived or the time ran out.
    QByteArray readAtLeast(int _minBytes, int _timeoutMs);

private:
    int m_master = -1;
    QString m_slavePath;
};
