#pragma once

#include <QObject>

// Tells the event loop when the simulator is asked to stop from outside:
// SIGINT and SIGTERM (StopSignal_posix.cpp); Ctrl+C, Ctrl+Break and the
// console's closing (StopSignal_win.cpp). One per process.
class StopSignal : public QObject
{
    Q_OBJECT
public:
    explicit StopSignal(QObject* _parent = nullptr);
    ~StopSignal() override;

    // False when the system refused to pass the requests on.
    bool isWatching() const { return m_watching; }

signals:
    // Once; later requests are taken and ignored.
    void requested();

private:
    bool m_watching = false;
};
