#include "ToolEnd.h"

#include <cerrno>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSocketNotifier>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "link/FrameCodec.h"

ToolEnd::ToolEnd(QObject* _parent) : QObject(_parent)
{}

ToolEnd::~ToolEnd()
{
    close();
}

bool ToolEnd::open(const QString& _path)
{
    close();
    m_fd = ::open(_path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    termios tio{};
    if (tcgetattr(m_fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_fd, TCSANOW, &tio);
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ToolEnd::onReadable);
    return true;
}

void ToolEnd::close()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_deframer.clear();
}

bool ToolEnd::sendRaw(const QByteArray& _bytes)
{
    qint64 done = 0;
    while (m_fd >= 0 && done < _bytes.size()) {
        const ssize_t n = ::write(m_fd, _bytes.constData() + done, size_t(_bytes.size() - done));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (n > 0)
            done += n;
    }
    return m_fd >= 0;
}

bool ToolEnd::send(const QByteArray& _body)
{
    return sendRaw(FrameCodec::encode(_body));
}

void ToolEnd::onReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof(buffer));
        if (n <= 0)
            break;
        m_bytesReceived += n;
        m_deframer.feed(QByteArray(buffer, int(n)), [this](const QByteArray& _body) {
            m_frames.append(_body);
            emit frameReceived();
        });
    }
    emit bytesArrived();
}

QByteArray ToolEnd::next(int _timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (m_frames.isEmpty() && timer.elapsed() < _timeoutMs) {
        QSignalSpy spy(this, &ToolEnd::frameReceived);
        spy.wait(int(qMax<qint64>(1, _timeoutMs - timer.elapsed())));
    }
    return m_frames.isEmpty() ? QByteArray() : m_frames.takeFirst();
}

QByteArray ToolEnd::nextStartingWith(const QByteArray& _prefix, int _timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < _timeoutMs) {
        const QByteArray frame = next(int(qMax<qint64>(1, _timeoutMs - timer.elapsed())));
        if (frame.startsWith(_prefix))
            return frame;
    }
    return QByteArray();
}
