#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

// The stick's end of the serial line: the master of a new pseudo-terminal
// (the tool opens its slave) or a given device. Non-blocking, driven by the
// event loop. When the tool closes the slave, reads fail with EIO until it is
// opened again; the line then waits on a short timer instead of spinning and
// keeps the pseudo-terminal. Writes go through a queue that can be held to a
// baud rate; what arrives can be held to a baud rate too, as the stick's own
// receiver would get it, so that both directions of the line take their time.
//
// The pacing is the same everywhere (SimLine.cpp); the line's end is the
// system's (SimLine_posix.cpp; SimLine_win.cpp, where there are no
// pseudo-terminals and the given device is a COM port, for instance one end
// of a virtual null-modem pair whose other end the tool opens).
class SimLine : public QObject
{
    Q_OBJECT
public:
    explicit SimLine(QObject* _parent = nullptr);
    ~SimLine() override;

    bool openPty(QString& _error);
    bool openDevice(const QString& _path, QString& _error);
    void close();
    bool isOpen() const;
    // The path the tool opens: the pseudo-terminal's slave or the given device.
    QString peerPath() const { return m_peerPath; }

    // 0: write at once; otherwise no faster than _baud at 10 bits per byte.
    // A byte is handed over when its ten bit times have passed.
    void setBaud(int _baud);
    int baud() const { return m_baud; }
    // 0: pass on what arrives at once; otherwise pass it on no faster than
    // _rxBaud at 10 bits per byte, each byte when its ten bit times have
    // passed, counted from its arrival or from the end of the byte before.
    void setRxBaud(int _rxBaud);
    int rxBaud() const { return m_rxBaud; }
    // While not reading, what the peer writes stays in the line (the
    // pseudo-terminal's buffer fills and the peer's writes block); reading
    // again first throws away what piled up meanwhile.
    void setReading(bool _reading);
    bool isReading() const { return m_reading; }
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
    // Bytes passed on with received(), and those waiting for their time.
    qint64 bytesReceived() const { return m_bytesReceived; }
    int pendingReceived() const { return m_rxQueue.size(); }

signals:
    void received(const QByteArray& _bytes);
    void peerClosedChanged(bool _closed);

private slots:
    void onReadable();
    void checkPeer();
    void drain();
    void onWake();

private:
    // One direction held to a baud rate: bytes are due one byte time apart,
    // counted from the moment the direction last ran idle.
    struct Pace
    {
        qint64 startNs = 0;
        qint64 bytes = 0; // handed over since startNs
        // The direction ran idle: pacing starts afresh at _nowNs.
        void restartIfIdle(qint64 _nowNs, int _baud);
        // How many more bytes are due at _nowNs.
        qint64 due(qint64 _nowNs, int _baud) const;
        // When the _n-th byte from here on is due.
        qint64 dueAt(qint64 _n, int _baud) const;
    };
    // The system's side: descriptors or a port, notifiers, a precise timer.
    struct End;

    // What arrived, paced or passed on at once.
    void takeIn(const QByteArray& _chunk);
    void peerHungUp();
    // The far end is there again: reading goes on where it was wanted.
    void peerBack();
    void releaseReceived();
    // Wakes for the earlier of the next steps of both directions, if any.
    void rearm();

    // The system's side of the line (SimLine_<system>.cpp).
    void createEnd();
    void destroyEnd();
    void closeEnd();
    // Bytes taken by the line: > 0 written, 0 none for now (full), < 0 the
    // far end hung up.
    qint64 writeSome(const char* _data, qint64 _size);
    void setEndReading(bool _reading);
    // Throws away what arrived at the system's side and was not read yet.
    void flushEndInput();
    // Wakes onWake() in _delayNs (at least a microsecond), or never (< 0).
    void armWake(qint64 _delayNs);
    void clearWake();

    End* m_end = nullptr;
    QString m_peerPath;
    QTimer m_peerTimer;
    QByteArray m_queue;
    QByteArray m_rxQueue;
    int m_baud = 0;
    int m_rxBaud = 0;
    bool m_discarding = false;
    bool m_reading = true;
    bool m_peerClosed = false;
    qint64 m_bytesWritten = 0;
    qint64 m_bytesDropped = 0;
    qint64 m_bytesReceived = 0;
    QElapsedTimer m_clock;
    Pace m_txPace;
    Pace m_rxPace;
    // When each direction wants its next step, on m_clock; -1: none.
    qint64 m_txNextNs = -1;
    qint64 m_rxNextNs = -1;
    // Where the system has no finer timer than Qt's millisecond one.
    QTimer m_wakeTimer;
};
