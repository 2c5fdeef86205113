#include "StopSignal.h"

#include <atomic>

#include <QMetaObject>

#include <qt_windows.h>

namespace {
StopSignal* s_watcher = nullptr;
std::atomic<bool> s_requested{false};

BOOL WINAPI onControlEvent(DWORD)
{
    if (s_requested.exchange(true))
        return TRUE;
    // On a thread of the system: the signal is queued to the event loop.
    QMetaObject::invokeMethod(s_watcher, &StopSignal::requested, Qt::QueuedConnection);
    return TRUE;
}
} // namespace

StopSignal::StopSignal(QObject* _parent) : QObject(_parent)
{
    if (s_watcher)
        return;
    s_watcher = this;
    m_watching = SetConsoleCtrlHandler(onControlEvent, TRUE) != 0;
}

StopSignal::~StopSignal()
{
    if (s_watcher != this)
        return;
    SetConsoleCtrlHandler(onControlEvent, FALSE);
    s_watcher = nullptr;
}
