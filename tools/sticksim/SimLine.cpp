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

#include <cmath>

#include <QSocketNotifier>

namespace {
constexpr int kPeerCheckMs = 50;
constexpr qint64 kMs = 1000000;
// A full pseudo-terminal takes a few KiB at a time: retried every millisecond,
// a long burst still flows at megabytes per second.
constexpr qint64 kBlockedRetryNs = kMs;
// A paced direction hands bytes over in slices of about this long, so that a
// long burst flows in pieces while a short frame goes at once when it is done.
constexpr qint64 kSliceNs = 2 * kMs;
constexpr qint64 kBitsPerByte = 10;
constexpr int kMaxQueuedBytes = 64 * 1024; // a peer that reads nothing does not make the queue grow for ever

qint64 byteNs(int _baud)
{
    return kBitsPerByte * 1000 * kMs / _baud;
}

qint64 sliceBytes(int _baud)
{
    return qMax<qint64>(1, kSliceNs / byteNs(_baud));
}

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

void SimLine::Pace::restartIfIdle(qint64 _nowNs, int _baud)
{
    if (_nowNs >= dueAt(0, _baud)) {
        startNs = _nowNs;
        bytes = 0;
    }
}

qint64 SimLine::Pace::due(qint64 _nowNs, int _baud) const
{
    // In floating point: nanoseconds times the baud rate overflow 64 bits
    // after a few hours of busy line. The small addition keeps a byte whose
    // time is exactly now from being rounded away.
    const double passed = double(_nowNs - startNs) * double(_baud) / double(kBitsPerByte * 1000 * kMs);
    return qint64(std::floor(passed + 1e-6)) - bytes;
}

qint64 SimLine::Pace::dueAt(qint64 _n, int _baud) const
{
    const qint64 bits = (bytes + _n) * kBitsPerByte * 1000 * kMs;
    return startNs + (bits + _baud - 1) / _baud;
}

SimLine::SimLine(QObject* _parent) : QObject(_parent)
{
    m_peerTimer.setSingleShot(true);
    m_peerTimer.setInterval(kPeerCheckMs);
    connect(&m_peerTimer, &QTimer::timeout, this, &SimLine::checkPeer);
#ifdef __linux__
    m_wakeFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_wakeFd >= 0) {
        m_wakeNotifier = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
        connect(m_wakeNotifier, &QSocketNotifier::activated, this, &SimLine::onWake);
    }
#endif
    m_wakeTimer.setSingleShot(true);
    m_wakeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_wakeTimer, &QTimer::timeout, this, &SimLine::onWake);
    m_clock.start();
}

SimLine::~SimLine()
{
    close();
    delete m_wakeNotifier;
    m_wakeNotifier = nullptr;
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
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
    m_queue.clear();
    m_rxQueue.clear();
    m_txNextNs = -1;
    m_rxNextNs = -1;
    rearm();
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

void SimLine::setRxBaud(int _rxBaud)
{
    m_rxBaud = _rxBaud > 0 ? _rxBaud : 0;
}

void SimLine::setDiscarding(bool _discarding)
{
    m_discarding = _discarding;
    if (_discarding) {
        m_bytesDropped += m_queue.size() + m_rxQueue.size();
        m_queue.clear();
        m_rxQueue.clear();
    }
}

void SimLine::setReading(bool _reading)
{
    if (_reading == m_reading)
        return;
    m_reading = _reading;
    if (_reading && m_fd >= 0) {
        if (isatty(m_fd))
            tcflush(m_fd, TCIFLUSH);
        m_bytesDropped += m_rxQueue.size();
        m_rxQueue.clear();
    }
    if (m_notifier)
        m_notifier->setEnabled(_reading && !m_peerClosed);
}

void SimLine::onReadable()
{
    if (m_fd < 0 || !m_reading)
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
    if (!chunk.isEmpty()) {
        if (m_rxBaud > 0) {
            if (m_rxQueue.isEmpty())
                m_rxPace.restartIfIdle(m_clock.nsecsElapsed(), m_rxBaud);
            m_rxQueue.append(chunk);
            releaseReceived();
        } else {
            m_bytesReceived += chunk.size();
            emit received(chunk);
        }
    }
    if (hungUp)
        peerHungUp();
}

void SimLine::releaseReceived()
{
    QByteArray released;
    if (!m_rxQueue.isEmpty()) {
        const qint64 n = qMin<qint64>(m_rxQueue.size(), m_rxPace.due(m_clock.nsecsElapsed(), m_rxBaud));
        if (n > 0) {
            released = m_rxQueue.left(int(n));
            m_rxQueue.remove(0, int(n));
            m_rxPace.bytes += n;
            m_bytesReceived += n;
        }
    }
    m_rxNextNs =
        m_rxQueue.isEmpty() ? -1 : m_rxPace.dueAt(qMin<qint64>(m_rxQueue.size(), sliceBytes(m_rxBaud)), m_rxBaud);
    rearm();
    // Last: the receiver may write, discard or close the line.
    if (!released.isEmpty())
        emit received(released);
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
        m_notifier->setEnabled(m_reading);
    onReadable();
}

void SimLine::write(const QByteArray& _bytes)
{
    if (m_fd < 0 || m_discarding || m_peerClosed || m_queue.size() > kMaxQueuedBytes) {
        m_bytesDropped += _bytes.size();
        return;
    }
    if (m_queue.isEmpty() && m_baud > 0)
        m_txPace.restartIfIdle(m_clock.nsecsElapsed(), m_baud);
    m_queue.append(_bytes);
    if (m_txNextNs < 0)
        drain();
}

void SimLine::drain()
{
    if (m_fd < 0 || m_queue.isEmpty()) {
        m_txNextNs = -1;
        rearm();
        return;
    }
    const qint64 now = m_clock.nsecsElapsed();
    qint64 allowed = m_queue.size();
    if (m_baud > 0)
        allowed = qMin(allowed, m_txPace.due(now, m_baud));
    bool blocked = false;
    if (allowed > 0) {
        const ssize_t n = ::write(m_fd, m_queue.constData(), size_t(allowed));
        if (n > 0) {
            m_queue.remove(0, int(n));
            m_bytesWritten += n;
            m_txPace.bytes += n;
            blocked = n < allowed;
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            peerHungUp();
            return;
        } else {
            blocked = true;
        }
    }
    if (m_queue.isEmpty())
        m_txNextNs = -1;
    else if (blocked)
        m_txNextNs = now + kBlockedRetryNs;
    else
        m_txNextNs = m_txPace.dueAt(qMin<qint64>(m_queue.size(), sliceBytes(m_baud)), m_baud);
    rearm();
}

void SimLine::onWake()
{
#ifdef __linux__
    if (m_wakeFd >= 0) {
        quint64 expirations = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &expirations, sizeof(expirations));
    }
#endif
    const qint64 now = m_clock.nsecsElapsed();
    if (m_txNextNs >= 0 && m_txNextNs <= now)
        drain();
    if (m_rxNextNs >= 0 && m_rxNextNs <= now)
        releaseReceived();
    rearm();
}

void SimLine::rearm()
{
    qint64 next = -1;
    for (const qint64 step : {m_txNextNs, m_rxNextNs}) {
        if (step >= 0 && (next < 0 || step < next))
            next = step;
    }
#ifdef __linux__
    if (m_wakeFd >= 0) {
        itimerspec wakeIn{};
        if (next >= 0) {
            // Zero would disarm the timer: a step already due wakes in a microsecond.
            const qint64 delay = qMax<qint64>(next - m_clock.nsecsElapsed(), 1000);
            wakeIn.it_value.tv_sec = time_t(delay / (1000 * kMs));
            wakeIn.it_value.tv_nsec = long(delay % (1000 * kMs));
        }
        timerfd_settime(m_wakeFd, 0, &wakeIn, nullptr);
        return;
    }
#endif
    if (next < 0) {
        m_wakeTimer.stop();
        return;
    }
    const qint64 delay = qMax<qint64>(next - m_clock.nsecsElapsed(), 0);
    m_wakeTimer.start(int((delay + kMs - 1) / kMs));
}
