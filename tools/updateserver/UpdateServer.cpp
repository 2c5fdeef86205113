#include "UpdateServer.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {
constexpr qint64 kEndlessChunk = 64 * 1024;
constexpr qint64 kEndlessBacklog = 256 * 1024;

QString normalisedKey(const QString& _path)
{
    QString key = _path;
    while (key.startsWith('/'))
        key.remove(0, 1);
    return key;
}

QByteArray header(const QByteArray& _status, const QByteArray& _contentType, qint64 _length)
{
    QByteArray text = "HTTP/1.1 " + _status + "\r\nServer: lumoran-updateserver\r\nContent-Type: " + _contentType +
                      "\r\nConnection: close\r\n";
    if (_length >= 0)
        text += "Content-Length: " + QByteArray::number(_length) + "\r\n";
    return text + "\r\n";
}
} // namespace

UpdateServer::UpdateServer(const QString& _root, QObject* parent) : QObject(parent), m_root(_root)
{
    connect(&m_server, &QTcpServer::newConnection, this, &UpdateServer::onNewConnection);
}

UpdateServer::~UpdateServer() = default;

bool UpdateServer::listen(quint16 _port)
{
    return m_server.listen(QHostAddress::LocalHost, _port);
}

quint16 UpdateServer::port() const
{
    return m_server.serverPort();
}

QString UpdateServer::baseUrl() const
{
    return QString("http://127.0.0.1:%1").arg(port());
}

void UpdateServer::setFault(Fault_t _fault, const QString& _path)
{
    m_faults.insert(normalisedKey(_path), _fault);
}

void UpdateServer::setDelay(int _milliseconds, const QString& _path)
{
    m_delays.insert(normalisedKey(_path), _milliseconds);
}

void UpdateServer::clearFaults()
{
    m_faults.clear();
    m_delays.clear();
}

UpdateServer::Fault_t UpdateServer::faultFor(const QString& _relative) const
{
    if (m_faults.contains(_relative))
        return m_faults.value(_relative);
    return m_faults.value(QString(), FaultNone);
}

int UpdateServer::delayFor(const QString& _relative) const
{
    if (m_delays.contains(_relative))
        return m_delays.value(_relative);
    return m_delays.value(QString(), 0);
}

QByteArray UpdateServer::makerNotFoundPage(int _size)
{
    QByteArray page = "<!doctype html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">"
                      "<title>Vandrel Online-Katalog</title></head>\n<body><header><a href=\"https://"
                      "www.vandrel.example/\">www.vandrel.example</a></header>\n<main><h1>Vandrel Online-Katalog</h1>"
                      "<p>Die angeforderte Seite wurde leider nicht gefunden.</p></main>\n";
    const QByteArray tail = "</body></html>\n";
    const int fill = _size - page.size() - tail.size() - 10; // "<!-- " + " -->\n"
    if (fill > 0)
        page += "<!-- " + QByteArray(fill, 'x') + " -->\n";
    page += tail;
    return page;
}

QString UpdateServer::relativePath(const QByteArray& _target)
{
    QByteArray target = _target;
    const int cut = target.indexOf('?');
    if (cut >= 0)
        target.truncate(cut);
    const int hash = target.indexOf('#');
    if (hash >= 0)
        target.truncate(hash);
    const QString decoded = QUrl::fromPercentEncoding(target);
    QStringList parts;
    for (const QString& part : decoded.split('/', Qt::SkipEmptyParts)) {
        if (part == "." || part == ".." || part.contains('\\') || part.contains(QChar(0)))
            return QString();
        parts.append(part);
    }
    return parts.join('/');
}

void UpdateServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    }
}

void UpdateServer::onReadyRead(QTcpSocket* _socket)
{
    // One request per connection: answered, then closed.
    if (_socket->property("answered").toBool()) {
        _socket->readAll();
        return;
    }
    QByteArray buffer = _socket->property("request").toByteArray() + _socket->readAll();
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (buffer.size() > kMaxRequestHeader) {
            _socket->setProperty("answered", true);
            sendSimple(_socket, "431 Request Header Fields Too Large", "text/plain", "request too large\n", false);
        } else {
            _socket->setProperty("request", buffer);
        }
        return;
    }
    _socket->setProperty("answered", true);
    _socket->setProperty("request", QVariant());

    const QByteArray requestLine = buffer.left(buffer.indexOf("\r\n"));
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts.at(2).startsWith("HTTP/1.")) {
        sendSimple(_socket, "400 Bad Request", "text/plain", "bad request\n", false);
        return;
    }
    const QByteArray method = parts.at(0);
    const QString target = QString::fromLatin1(parts.at(1));
    m_requests.append(target);
    emit requestReceived(target);
    if (method != "GET" && method != "HEAD") {
        sendSimple(_socket, "405 Method Not Allowed", "text/plain", "only GET and HEAD\n", false);
        return;
    }
    const bool headOnly = method == "HEAD";
    const QString relative = relativePath(parts.at(1));
    const int delay = delayFor(relative);
    if (delay <= 0) {
        respond(_socket, relative, headOnly);
        return;
    }
    QPointer<QTcpSocket> guard(_socket);
    QTimer::singleShot(delay, this, [this, guard, relative, headOnly] {
        if (guard && guard->state() == QAbstractSocket::ConnectedState)
            respond(guard, relative, headOnly);
    });
}

void UpdateServer::sendSimple(QTcpSocket* _socket, const QByteArray& _status, const QByteArray& _contentType,
                              const QByteArray& _body, bool _headOnly)
{
    _socket->write(header(_status, _contentType, _body.size()));
    if (!_headOnly)
        _socket->write(_body);
    _socket->disconnectFromHost();
}

void UpdateServer::respond(QTcpSocket* _socket, const QString& _relative, bool _headOnly)
{
    switch (faultFor(_relative)) {
    case FaultNotFound404:
        sendSimple(_socket, "404 Not Found", "text/html",
                   "<html><head><title>404 Not Found</title></head><body><h1>404 Not Found</h1>"
                   "<p>The requested URL was not found on this server.</p></body></html>\n",
                   _headOnly);
        return;
    case FaultNotFoundPage:
        sendSimple(_socket, "200 OK", "text/html", makerNotFoundPage(m_notFoundPageSize), _headOnly);
        return;
    case FaultEndlessBody:
        startEndless(_socket, _headOnly);
        return;
    case FaultDropMidway:
    case FaultDrip:
    case FaultNone:
        break;
    }

    const QString path = m_root + "/" + _relative;
    QFile file(path);
    if (_relative.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        sendSimple(_socket, "404 Not Found", "text/html",
                   "<html><head><title>404 Not Found</title></head><body><h1>404 Not Found</h1></body></html>\n",
                   _headOnly);
        return;
    }
    const QByteArray body = file.readAll();
    _socket->write(header("200 OK", "application/octet-stream", body.size()));
    if (!_headOnly && faultFor(_relative) == FaultDrip) {
        startDrip(_socket, body);
        return;
    }
    if (!_headOnly) {
        if (faultFor(_relative) == FaultDropMidway)
            _socket->write(body.left(body.size() / 2)); // then the connection ends short
        else
            _socket->write(body);
    }
    _socket->disconnectFromHost();
}

void UpdateServer::startEndless(QTcpSocket* _socket, bool _headOnly)
{
    _socket->write(header("200 OK", "application/octet-stream", -1));
    if (_headOnly) {
        _socket->disconnectFromHost();
        return;
    }
    // Keeps a bounded backlog: writes more only as the client takes it.
    auto feed = [_socket] {
        static const QByteArray chunk(kEndlessChunk, 'E');
        while (_socket->state() == QAbstractSocket::ConnectedState && _socket->bytesToWrite() < kEndlessBacklog)
            _socket->write(chunk);
    };
    // Refilled from a posted event: on Windows a socket that keeps being
    // writable would otherwise keep posted events, a client's in the same
    // process among them, from running at all.
    connect(_socket, &QTcpSocket::bytesWritten, _socket, [_socket, feed] { QTimer::singleShot(0, _socket, feed); });
    feed();
}

void UpdateServer::startDrip(QTcpSocket* _socket, const QByteArray& _body)
{
    // The timer belongs to the socket and ends with its connection.
    auto* timer = new QTimer(_socket);
    connect(timer, &QTimer::timeout, _socket, [_socket, _body, timer, sent = 0]() mutable {
        if (_socket->state() != QAbstractSocket::ConnectedState) {
            timer->stop();
            return;
        }
        if (sent >= _body.size()) {
            timer->stop();
            _socket->disconnectFromHost();
            return;
        }
        _socket->write(_body.mid(sent++, 1));
    });
    timer->start(m_dripIntervalMs);
}
