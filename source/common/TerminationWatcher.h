#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, Ctrl+C in a
// terminal, `kill`) into an orderly quit of the event loop, so that the tool
// ends as when its window is closed: a run in progress still gets its report
// and the settings are written. The handler only writes the signal's number
// to a socket pair; everything else happens on the event loop. A second
// signal while the quit is under way has the default effect, so a tool that
// hangs can still be stopped. On other systems it does nothing.
class TerminationWatcher : public QObject
{
    Q_OBJECT
public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
