#include "TerminationWatcher.h"

#include <atomic>

#include <QCoreApplication>
#include <QMetaObject>

#include <qt_windows.h>

#include "common/log.h"

namespace {
// The system waits this long at most for a handler of a close, logout or
// shutdown event before it ends the process anyway; no use waiting longer.
constexpr DWORD kOrderlyEndMs = 5000;

// Set when the watcher is destroyed: the last step of an orderly end.
HANDLE s_ended = nullptr;
std::atomic<bool> s_quitting{false};

BOOL WINAPI onControlEvent(DWORD _event)
{
    // A second event while the quit is under way: the default, which ends
    // the process at once.
    if (s_quitting.exchange(true))
        return FALSE;
    // The event loop runs on another thread; the quit is queued to it.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [_event] {
            LOG(lcApp, QString("quit on console event %1").arg(_event));
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
    if (_event == CTRL_CLOSE_EVENT || _event == CTRL_LOGOFF_EVENT || _event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(s_ended, kOrderlyEndMs);
    return TRUE;
}
} // namespace

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent)
{
    if (s_ended) {
        LOG(lcApp, "can not watch for termination events");
        return;
    }
    s_ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    s_quitting = false;
    if (!s_ended || !SetConsoleCtrlHandler(onControlEvent, TRUE))
        LOG(lcApp, "can not watch for termination events");
}

TerminationWatcher::~TerminationWatcher()
{
    if (!s_ended)
        return;
    SetConsoleCtrlHandler(onControlEvent, FALSE);
    SetEvent(s_ended);
    // A handler still waiting has the event; the handle stays for the rest
    // of the process, which is about to end.
    s_ended = nullptr;
}
