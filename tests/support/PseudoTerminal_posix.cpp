#include "PseudoTerminal.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

bool PseudoTerminal::isAvailable()
{
    return true;
}

PseudoTerminal::PseudoTerminal()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
    // Raw mode on the master side so bytes pass unchanged.
    termios tio{};
    if (tcgetattr(m_master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_master, TCSANOW, &tio);
    }
}

PseudoTerminal::~PseudoTerminal()
{
    if (m_master >= 0)
        ::close(m_master);
}

bool PseudoTerminal::write(const QByteArray& _bytes)
{
    qint64 done = 0;
    while (done < _bytes.size()) {
        const ssize_t n = ::write(m_master, _bytes.constData() + done, size_t(_bytes.size() - done));
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray PseudoTerminal::readAtLeast(int _minBytes, int _timeoutMs)
{
    QByteArray result;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < _timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        pollfd pfd{m_master, POLLIN, 0};
        if (::poll(&pfd, 1, 10) > 0 && (pfd.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof(buffer));
            if (n > 0)
                result.append(buffer, int(n));
        }
        if (_minBytes > 0 && result.size() >= _minBytes)
            break;
    }
    return result;
}

QByteArray PseudoTerminal::read(int _timeoutMs)
{
    return readAtLeast(0, _timeoutMs);
}
