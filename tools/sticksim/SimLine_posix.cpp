#include "SimLine.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/timerfd.h>
#endif

#include <QSocketNotifier>

namespace {
constexpr qint64 kSecondNs = 1000000000;

void makeRaw(int _fd)
{
    termios tio{};
    if (tcgetattr(_fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&tio, B115200);
    tcsetattr(_fd, TCSANOW, &tio);
}
} // namespace

struct SimLine::End
{
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    // Paced steps need better than the millisecond of a QTimer: a frame that
    // is handed over up to a millisecond late costs the exchange a tenth of
    // its time. A timer descriptor wakes to the microsecond where there is one.
    int wakeFd = -1;
    QSocketNotifier* wakeNotifier = nullptr;

    // Takes over an open descriptor of the line.
    void adopt(int _fd, SimLine* _line);
};

void SimLine::createEnd()
{
    m_end = new End;
#ifdef __linux__
    m_end->wakeFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_end->wakeFd >= 0) {
        m_end->wakeNotifier = new QSocketNotifier(m_end->wakeFd, QSocketNotifier::Read, this);
        connect(m_end->wakeNotifier, &QSocketNotifier::activated, this, &SimLine::onWake);
    }
#endif
}

void SimLine::destroyEnd()
{
    delete m_end->wakeNotifier;
    if (m_end->wakeFd >= 0)
        ::close(m_end->wakeFd);
    delete m_end;
    m_end = nullptr;
}

bool SimLine::isOpen() const
{
    return m_end->fd >= 0;
}

bool SimLine::openPty(QString& _error)
{
    close();
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        _error = QString("posix_openpt: %1").arg(strerror(errno));
        return false;
    }
    const char* slave = nullptr;
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || (slave = ptsname(fd)) == nullptr) {
        _error = QString("pseudo-terminal setup: %1").arg(strerror(errno));
        ::close(fd);
        return false;
    }
    m_end->adopt(fd, this);
    m_peerPath = QString::fromLocal8Bit(slave);
    m_peerClosed = false;
    // Opened and closed once, the slave reports a hang-up at the master until
    // the tool opens it: nothing piles up in the pseudo-terminal before the
    // tool arrives, and its arrival is seen.
    const int probe = ::open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe >= 0) {
        ::close(probe);
        m_peerClosed = true;
        setEndReading(false);
        m_peerTimer.start();
    }
    return true;
}

bool SimLine::openDevice(const QString& _path, QString& _error)
{
    close();
    const int fd = ::open(_path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        _error = QString("%1: %2").arg(_path, strerror(errno));
        return false;
    }
    m_end->adopt(fd, this);
    m_peerPath = _path;
    m_peerClosed = false;
    return true;
}

void SimLine::End::adopt(int _fd, SimLine* _line)
{
    fcntl(_fd, F_SETFD, FD_CLOEXEC); // a child process (the tool under test) must not hold the line
    if (isatty(_fd))
        makeRaw(_fd);
    fd = _fd;
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, _line);
    QObject::connect(notifier, &QSocketNotifier::activated, _line, &SimLine::onReadable);
}

void SimLine::closeEnd()
{
    delete m_end->notifier;
    m_end->notifier = nullptr;
    if (m_end->fd >= 0)
        ::close(m_end->fd);
    m_end->fd = -1;
}

void SimLine::setEndReading(bool _reading)
{
    if (m_end->notifier)
        m_end->notifier->setEnabled(_reading);
}

void SimLine::flushEndInput()
{
    if (isatty(m_end->fd))
        tcflush(m_end->fd, TCIFLUSH);
}

void SimLine::onReadable()
{
    if (m_end->fd < 0 || !m_reading)
        return;
    QByteArray chunk;
    bool hungUp = false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_end->fd, buffer, sizeof(buffer));
        if (n > 0) {
            if (!m_discarding)
                chunk.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        hungUp = true; // EIO on a master whose slave is closed, or end of file
        break;
    }
    takeIn(chunk);
    if (hungUp)
        peerHungUp();
}

void SimLine::checkPeer()
{
    if (m_end->fd < 0)
        return;
    pollfd pfd{m_end->fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, 0);
    if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        m_peerTimer.start();
        return;
    }
    peerBack();
}

qint64 SimLine::writeSome(const char* _data, qint64 _size)
{
    const ssize_t n = ::write(m_end->fd, _data, size_t(_size));
    if (n >= 0)
        return n;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

void SimLine::armWake(qint64 _delayNs)
{
    if (m_end->wakeFd >= 0) {
#ifdef __linux__
        itimerspec wakeIn{};
        if (_delayNs >= 0) {
            wakeIn.it_value.tv_sec = time_t(_delayNs / kSecondNs);
            wakeIn.it_value.tv_nsec = long(_delayNs % kSecondNs);
        }
        timerfd_settime(m_end->wakeFd, 0, &wakeIn, nullptr);
#endif
        return;
    }
    if (_delayNs < 0)
        m_wakeTimer.stop();
    else
        m_wakeTimer.start(int((_delayNs + kSecondNs / 1000 - 1) / (kSecondNs / 1000)));
}

void SimLine::clearWake()
{
    if (m_end->wakeFd >= 0) {
        quint64 expirations = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_end->wakeFd, &expirations, sizeof(expirations));
    }
}
