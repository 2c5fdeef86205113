#include "PseudoTerminal.h"

// No pseudo-terminals on Windows; a serial line there is a COM port.

bool PseudoTerminal::isAvailable()
{
    return false;
}

PseudoTerminal::PseudoTerminal() = default;
PseudoTerminal::~PseudoTerminal() = default;

bool PseudoTerminal::write(const QByteArray&)
{
    return false;
}

QByteArray PseudoTerminal::readAtLeast(int, int)
{
    return QByteArray();
}

QByteArray PseudoTerminal::read(int)
{
    return QByteArray();
}
