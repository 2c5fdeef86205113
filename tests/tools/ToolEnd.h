#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include "link/FrameDeframer.h"

class QSocketNotifier;

// A scripted stand-in for the tool at the slave end of the simulator's
// pseudo-terminal: opens the path raw and non-blocking, cuts what arrives
// into frames with the core's deframer and sends hand-written bodies.
class ToolEnd : public QObject
{
    Q_OBJECT
public:
    explicit ToolEnd(QObject* _parent = nullptr);
    ~ToolEnd() override;

    bool open(const QString& _path);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    bool send(const QByteArray& _body);
    bool sendRaw(const QByteArray& _bytes);
    // The next good frame body, waiting up to _timeoutMs; empty if none came.
    QByteArray next(int _timeoutMs = 3000);
    // The next frame whose body starts with _prefix; frames before it are dropped.
    QByteArray nextStartingWith(const QByteArray& _prefix, int _timeoutMs = 3000);
    int pendingFrames() const { return m_frames.size(); }
    void clearFrames() { m_frames.clear(); }
    qint64 bytesReceived() const { return m_bytesReceived; }

signals:
    void frameReceived();
    void bytesArrived();

private slots:
    void onReadable();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    FrameDeframer m_deframer;
    QList<QByteArray> m_frames;
    qint64 m_bytesReceived = 0;
};
