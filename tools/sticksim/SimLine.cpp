#include "SimLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace {
constexpr int kPeerCheckMs = 50;
constexpr int kBlockedRetryMs = 10;
constexpr int kMaxQueuedBytes = 64 * 1024; // a peer that reads nothing does not make the queue grow for ever

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

SimLine::SimLine(QObject* _parent) : QObject(_parent)
{
    m_peerTimer.setSingleShot(true);
    m_peerTimer.setInterval(kPeerCheckMs);
    connect(&m_peerTimer, &QTimer::timeout, this, &SimLine::checkPeer);
    m_drainTimer.setSingleShot(true);
    m_drainTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_drainTimer, &QTimer::timeout, this, &SimLine::drain);
    m_clock.start();
}

SimLine::~SimLine()
{
    close();
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
    const QString slavePath = QString::fromLocal8Bit(slave);
    if (!adopt(fd, slavePath))
        return false;
    // Opened and closed once, the slave reports a hang-up at the master until
    // the tool opens it: nothing piles up in the pseudo-terminal before the
    // tool arrives, and its arrival is seen.
    const int probe = ::open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe >= 0) {
        ::close(probe);
        m_peerClosed = true;
        m_notifier->setEnabled(false);
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
    return adopt(fd, _path);
}

bool SimLine::adopt(int _fd, const QString& _peerPath)
{
    fcntl(_fd, F_SETFD, FD_CLOEXEC); // a child process (the tool under test) must not hold the line
    if (isatty(_fd))
        makeRaw(_fd);
    m_fd = _fd;
    m_peerPath = _peerPath;
    m_peerClosed = false;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SimLine::onReadable);
    return true;
}

void SimLine::close()
{
    m_peerTimer.stop();
    m_drainTimer.stop();
    m_queue.clear();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void SimLine::setBaud(int _baud)
{
    m_baud = _baud > 0 ? _baud : 0;
}

void SimLine::setDiscarding(bool _discarding)
{
    m_discarding = _discarding;
    if (_discarding) {
        m_bytesDropped += m_queue.size();
        m_queue.clear();
    }
}

void SimLine::onReadable()
{
    if (m_fd < 0)
        return;
    QByteArray chunk;
    bool hungUp = false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof(buffer));
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
    if (!chunk.isEmpty())
        emit received(chunk);
    if (hungUp)
        peerHungUp();
}

void SimLine::peerHungUp()
{
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_bytesDropped += m_queue.size();
    m_queue.clear();
    if (!m_peerClosed) {
        m_peerClosed = true;
        emit peerClosedChanged(true);
    }
    m_peerTimer.start();
}

void SimLine::checkPeer()
{
    if (m_fd < 0)
        return;
    pollfd pfd{m_fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, 0);
    if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        m_peerTimer.start();
        return;
    }
    m_peerClosed = false;
    emit peerClosedChanged(false);
    if (m_notifier)
        m_notifier->setEnabled(true);
    onReadable();
}

void SimLine::write(const QByteArray& _bytes)
{
    if (m_fd < 0 || m_discarding || m_peerClosed || m_queue.size() > kMaxQueuedBytes) {
        m_bytesDropped += _bytes.size();
        return;
    }
    if (m_queue.isEmpty() && m_baud > 0) {
        // The line ran idle: pacing starts afresh.
        const qint64 lineBusyUntilNs = m_paceStartNs + m_pacedBytes * 10 * 1000000000LL / m_baud;
        if (m_clock.nsecsElapsed() >= lineBusyUntilNs) {
            m_paceStartNs = m_clock.nsecsElapsed();
            m_pacedBytes = 0;
        }
    }
    m_queue.append(_bytes);
    if (!m_drainTimer.isActive())
        drain();
}

void SimLine::drain()
{
    if (m_fd < 0 || m_queue.isEmpty())
        return;
    qint64 allowed = m_queue.size();
    if (m_baud > 0) {
        // A byte may start once the bytes before it have had their ten bit times.
        const qint64 elapsedNs = m_clock.nsecsElapsed() - m_paceStartNs;
        allowed = qMin<qint64>(allowed, elapsedNs * m_baud / (10 * 1000000000LL) + 1 - m_pacedBytes);
    }
    if (allowed > 0) {
        const ssize_t n = ::write(m_fd, m_queue.constData(), size_t(allowed));
        if (n > 0) {
            m_queue.remove(0, int(n));
            m_bytesWritten += n;
            m_pacedBytes += n;
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            peerHungUp();
            return;
        }
    }
    if (!m_queue.isEmpty())
        m_drainTimer.start(m_baud > 0 ? 1 : kBlockedRetryMs);
}
