#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the system's requests to end the process into an orderly quit of the
// event loop, so that the tool ends as when its window is closed: a run in
// progress still gets its report and the settings are written.
//
// POSIX (TerminationWatcher_posix.cpp): SIGTERM, SIGINT and SIGHUP (a logout,
// a shutdown, Ctrl+C in a terminal, `kill`). The handler only writes the
// signal's number to a socket pair; everything else happens on the event
// loop. A second signal while the quit is under way has the default effect,
// so a tool that hangs can still be stopped.
//
// Windows (TerminationWatcher_win.cpp): the console's control events (Ctrl+C,
// Ctrl+Break, its window closed, a logout or shutdown while the tool has a
// console). `taskkill` without /F and a logout reach the window itself and
// close it as a user would. The handler runs on a thread of the system; it
// queues the quit and, for the events after which the system ends the
// process as soon as the handler returns, waits until the watcher is
// destroyed, the last step of an orderly end, or the system's own limit. A
// second event while the quit is under way has the default effect.
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
