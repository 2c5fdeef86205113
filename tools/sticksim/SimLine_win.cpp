#include "SimLine.h"

#include <QSerialPort>

namespace {
// What the port may hold unsent before the line counts as full: the pacing
// then holds the rest back as a full pseudo-terminal would.
constexpr qint64 kMaxUnsent = 4096;
constexpr int kMsNs = 1000000;
} // namespace

struct SimLine::End
{
    QSerialPort* port = nullptr;
    bool reading = true;
};

void SimLine::createEnd()
{
    m_end = new End;
}

void SimLine::destroyEnd()
{
    delete m_end;
    m_end = nullptr;
}

bool SimLine::isOpen() const
{
    return m_end->port != nullptr;
}

bool SimLine::openPty(QString& _error)
{
    close();
    _error = "Windows has no pseudo-terminals: give the stick's COM port with --device (for instance one end of "
             "a virtual null-modem pair whose other end the tool opens)";
    return false;
}

bool SimLine::openDevice(const QString& _path, QString& _error)
{
    close();
    auto* port = new QSerialPort(_path, this);
    port->setBaudRate(QSerialPort::Baud115200);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        _error = QString("%1: %2").arg(_path, port->errorString());
        delete port;
        return false;
    }
    connect(port, &QSerialPort::readyRead, this, &SimLine::onReadable);
    // A USB adapter pulled out: the line is gone until it can be opened again.
    connect(port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError _error) {
        if (_error == QSerialPort::ResourceError && !m_peerClosed)
            peerHungUp();
    });
    m_end->port = port;
    m_end->reading = true;
    m_peerPath = _path;
    m_peerClosed = false;
    return true;
}

void SimLine::closeEnd()
{
    delete m_end->port;
    m_end->port = nullptr;
}

void SimLine::setEndReading(bool _reading)
{
    m_end->reading = _reading;
}

void SimLine::flushEndInput()
{
    if (m_end->port)
        m_end->port->clear(QSerialPort::Input);
}

void SimLine::onReadable()
{
    if (!m_end->port || !m_end->reading || !m_reading)
        return;
    const QByteArray chunk = m_end->port->readAll();
    if (!m_discarding)
        takeIn(chunk);
}

void SimLine::checkPeer()
{
    QSerialPort* port = m_end->port;
    if (!port)
        return;
    // A COM port does not tell whether anybody holds its far end; once it
    // failed, it is back when it opens again.
    if (port->error() == QSerialPort::ResourceError) {
        port->close();
        port->clearError();
        if (!port->open(QIODevice::ReadWrite)) {
            m_peerTimer.start();
            return;
        }
    }
    peerBack();
}

qint64 SimLine::writeSome(const char* _data, qint64 _size)
{
    QSerialPort* port = m_end->port;
    const qint64 room = kMaxUnsent - port->bytesToWrite();
    if (room <= 0)
        return 0;
    return port->write(_data, qMin(_size, room));
}

void SimLine::armWake(qint64 _delayNs)
{
    // No finer timer here than Qt's precise one, to the millisecond.
    if (_delayNs < 0)
        m_wakeTimer.stop();
    else
        m_wakeTimer.start(int((_delayNs + kMsNs - 1) / kMsNs));
}

void SimLine::clearWake()
{}
