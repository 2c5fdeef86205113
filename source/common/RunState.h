#pragma once

#include <QObject>

#include "SystemServices.h"

// The one owner of the system state: which long-running activity is under
// way. The state changes only through the named transitions below; each
// refuses (logs and returns false) a change that is not allowed from the
// state at hand, so that no worker can start one activity over another.
// Listeners (the window's adapter, the run report) follow changed().
class RunState : public QObject
{
    Q_OBJECT
public:
    using SysState_t = SystemServices::SysState_t;

    // Why an activity ended.
    enum EndReason_t
    {
        eEndDone = 0,      // it finished by itself (all done, or nothing left)
        eEndCancelled = 1, // the user ended it
        eEndFailed = 2,    // it failed
    };
    Q_ENUM(EndReason_t)

    explicit RunState(QObject* _parent = nullptr);

    SysState_t state() const { return m_state; }
    bool is(SysState_t _state) const { return m_state == _state; }

    // The tool has started up: from init to idle.
    bool ready();
    // From idle: the download of the selected files, a device update run, a stick update.
    bool beginDownload();
    bool beginDeviceRun();
    bool beginStickUpdate();
    // The activity under way ends: back to idle.
    bool end(EndReason_t _reason);

    // Whether the transitions allow going from _from to _to.
    static bool isAllowed(SysState_t _from, SysState_t _to);

    // Sets a state without asking the transitions, and tells the listeners
    // even when it stays the same. Only for tests and tools that show the
    // window in one given state; the tool itself never calls it.
    void jumpTo(SysState_t _state);

signals:
    void changed(SystemServices::SysState_t _from, SystemServices::SysState_t _to, RunState::EndReason_t _reason);

private:
    bool move(SysState_t _to, const char* _transition, EndReason_t _reason = eEndDone);

    SysState_t m_state = SystemServices::SysStateInit;
};
