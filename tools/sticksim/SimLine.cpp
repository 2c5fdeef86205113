#include "SimLine.h"

#include <cmath>

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
    m_wakeTimer.setSingleShot(true);
    m_wakeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_wakeTimer, &QTimer::timeout, this, &SimLine::onWake);
    m_clock.start();
    createEnd();
}

SimLine::~SimLine()
{
    close();
    destroyEnd();
}

void SimLine::close()
{
    m_peerTimer.stop();
    m_queue.clear();
    m_rxQueue.clear();
    m_txNextNs = -1;
    m_rxNextNs = -1;
    rearm();
    closeEnd();
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
    if (_reading && isOpen()) {
        flushEndInput();
        m_bytesDropped += m_rxQueue.size();
        m_rxQueue.clear();
    }
    setEndReading(_reading && !m_peerClosed);
}

void SimLine::takeIn(const QByteArray& _chunk)
{
    if (_chunk.isEmpty())
        return;
    if (m_rxBaud > 0) {
        if (m_rxQueue.isEmpty())
            m_rxPace.restartIfIdle(m_clock.nsecsElapsed(), m_rxBaud);
        m_rxQueue.append(_chunk);
        releaseReceived();
    } else {
        m_bytesReceived += _chunk.size();
        emit received(_chunk);
    }
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
    setEndReading(false);
    m_bytesDropped += m_queue.size();
    m_queue.clear();
    if (!m_peerClosed) {
        m_peerClosed = true;
        emit peerClosedChanged(true);
    }
    m_peerTimer.start();
}

void SimLine::peerBack()
{
    m_peerClosed = false;
    emit peerClosedChanged(false);
    setEndReading(m_reading);
    onReadable();
}

void SimLine::write(const QByteArray& _bytes)
{
    if (!isOpen() || m_discarding || m_peerClosed || m_queue.size() > kMaxQueuedBytes) {
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
    if (!isOpen() || m_queue.isEmpty()) {
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
        const qint64 n = writeSome(m_queue.constData(), allowed);
        if (n < 0) {
            peerHungUp();
            return;
        }
        m_queue.remove(0, int(n));
        m_bytesWritten += n;
        m_txPace.bytes += n;
        blocked = n < allowed;
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
    clearWake();
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
    // Zero would disarm a timer descriptor: a step already due wakes in a microsecond.
    armWake(next < 0 ? -1 : qMax<qint64>(next - m_clock.nsecsElapsed(), 1000));
}
