#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

// The stick's end of the serial line: the master of a new pseudo-terminal
// (the tool opens its slave) or a given device. Non-blocking, driven by the
// event loop. When the tool closes the slave, reads fail with EIO until it is
// opened again; the line then waits on a short timer instead of spinning and
// keeps the pseudo-terminal. Writes go through a queue that can be held to a
// baud rate.
class SimLine : public QObject
{
    Q_OBJECT
public:
    explicit SimLine(QObject* _parent = nullptr);
    ~SimLine() override;

    bool openPty(QString& _error);
    bool openDevice(const QString& _path, QString& _error);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // The path the tool opens: the pseudo-terminal's slave or the given device.
    QString peerPath() const { return m_peerPath; }

    // 0: write at once; otherwise no faster than _baud at 10 bits per byte.
    void setBaud(int _baud);
    int baud() const { return m_baud; }
    // While discarding, nothing is written and what arrives is thrown away.
    void setDiscarding(bool _discarding);
    bool isDiscarding() const { return m_discarding; }
    // Nobody has the far end open: the tool has not opened the new
    // pseudo-terminal yet, or has closed it. A given device counts as open
    // until reading it fails.
    bool isPeerClosed() const { return m_peerClosed; }

    void write(const QByteArray& _bytes);
    int queuedBytes() const { return m_queue.size(); }
    qint64 bytesWritten() const { return m_bytesWritten; }
    qint64 bytesDropped() const { return m_bytesDropped; }

signals:
    void received(const QByteArray& _bytes);
    void peerClosedChanged(bool _closed);

private slots:
    void onReadable();
    void checkPeer();
    void drain();

private:
    bool adopt(int _fd, const QString& _peerPath);
    void peerHungUp();

    int m_fd = -1;
    QString m_peerPath;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_peerTimer;
    QTimer m_drainTimer;
    QByteArray m_queue;
    int m_baud = 0;
    bool m_discarding = false;
    bool m_peerClosed = false;
    qint64 m_bytesWritten = 0;
    qint64 m_bytesDropped = 0;
    // Pacing: bytes written since the line last ran idle, and when that was.
    QElapsedTimer m_clock;
    qint64 m_paceStartNs = 0;
    qint64 m_pacedBytes = 0;
};
