#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP/1.1 server that serves one folder on 127.0.0.1, for tests and
// the demo. Faults can be switched on for every file or for one path: a delay
// before answering, a 404, the maker's "file not found" page with status 200,
// a connection dropped halfway through the body, a body without end, and a
// body that trickles in one byte at a time.
class UpdateServer : public QObject
{
    Q_OBJECT
public:
    enum Fault_t
    {
        FaultNone,
        FaultNotFound404,  // 404 with a page containing "404 Not Found"
        FaultNotFoundPage, // 200 with the maker's "file not found" page
        FaultDropMidway,   // announces the full length, sends half, closes
        FaultEndlessBody,  // 200 without length, never ends
        FaultDrip,         // announces the full length, sends one byte per drip interval
    };
    Q_ENUM(Fault_t)

    static constexpr int kMaxRequestHeader = 16 * 1024;
    static constexpr int kDefaultNotFoundPageSize = 4000;
    static constexpr int kDefaultDripIntervalMs = 1000;

    explicit UpdateServer(const QString& _root, QObject* parent = nullptr);
    ~UpdateServer() override;

    // Listens on 127.0.0.1; port 0 picks a free port (read it with port()).
    bool listen(quint16 _port = 0);
    quint16 port() const;
    // "http://127.0.0.1:<port>", no trailing slash.
    QString baseUrl() const;
    QString root() const { return m_root; }

    // An empty path applies to every file; otherwise to that path only (with
    // or without the leading slash). A path's own setting wins.
    void setFault(Fault_t _fault, const QString& _path = QString());
    void setDelay(int _milliseconds, const QString& _path = QString());
    void clearFaults();
    void setNotFoundPageSize(int _size) { m_notFoundPageSize = _size; }
    // How long FaultDrip waits between two bytes.
    void setDripInterval(int _milliseconds) { m_dripIntervalMs = _milliseconds; }

    // Request targets as received, in order.
    QStringList requests() const { return m_requests; }

    // The page the maker's web server delivers with status 200 for a missing
    // file: it carries the host name, "<!doctype html>" and "Vandrel
    // Online-Katalog", padded to _size bytes.
    static QByteArray makerNotFoundPage(int _size);
    // Reduces a request target to a path relative to the root folder: query
    // and fragment cut, percent-decoding, repeated slashes collapsed. Empty
    // when it names no file inside the root ("..", ".", the root itself).
    static QString relativePath(const QByteArray& _target);

signals:
    void requestReceived(const QString& _target);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* _socket);
    void respond(QTcpSocket* _socket, const QString& _relative, bool _headOnly);
    void sendSimple(QTcpSocket* _socket, const QByteArray& _status, const QByteArray& _contentType,
                    const QByteArray& _body, bool _headOnly);
    void startEndless(QTcpSocket* _socket, bool _headOnly);
    void startDrip(QTcpSocket* _socket, const QByteArray& _body);
    Fault_t faultFor(const QString& _relative) const;
    int delayFor(const QString& _relative) const;

    QString m_root;
    QTcpServer m_server;
    QHash<QString, Fault_t> m_faults; // "" = every file
    QHash<QString, int> m_delays;     // "" = every file
    int m_notFoundPageSize = kDefaultNotFoundPageSize;
    int m_dripIntervalMs = kDefaultDripIntervalMs;
    QStringList m_requests;
};
