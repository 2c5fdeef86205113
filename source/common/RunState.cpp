#include "RunState.h"

#include "log.h"

RunState::RunState(QObject* _parent) : QObject(_parent)
{
    // Listeners may take changed() queued, and spies record its arguments.
    qRegisterMetaType<SystemServices::SysState_t>();
    qRegisterMetaType<RunState::EndReason_t>();
}

bool RunState::isAllowed(SysState_t _from, SysState_t _to)
{
    switch (_to) {
    case SystemServices::SysStateIdle:
        // Every activity ends in idle; idle itself has nothing to end.
        return _from != SystemServices::SysStateIdle;
    case SystemServices::SysStateUpdateDownload:
    case SystemServices::SysStateDeviceUpdate:
    case SystemServices::SysStateStickUpdate:
        return _from == SystemServices::SysStateIdle;
    default:
        return false;
    }
}

bool RunState::ready()
{
    if (m_state != SystemServices::SysStateInit) {
        LOG(lcCommon, QString("refused: ready in state %1").arg(int(m_state)));
        return false;
    }
    return move(SystemServices::SysStateIdle, "ready");
}

bool RunState::beginDownload()
{
    return move(SystemServices::SysStateUpdateDownload, "beginDownload");
}

bool RunState::beginDeviceRun()
{
    return move(SystemServices::SysStateDeviceUpdate, "beginDeviceRun");
}

bool RunState::beginStickUpdate()
{
    return move(SystemServices::SysStateStickUpdate, "beginStickUpdate");
}

bool RunState::end(EndReason_t _reason)
{
    if (m_state == SystemServices::SysStateInit) {
        LOG(lcCommon, "refused: end before the tool is ready");
        return false;
    }
    return move(SystemServices::SysStateIdle, "end", _reason);
}

void RunState::jumpTo(SysState_t _state)
{
    const SysState_t from = m_state;
    m_state = _state;
    emit changed(from, _state, eEndDone);
}

bool RunState::move(SysState_t _to, const char* _transition, EndReason_t _reason)
{
    if (!isAllowed(m_state, _to)) {
        LOG(lcCommon, QString("refused: %1 in state %2").arg(QLatin1String(_transition)).arg(int(m_state)));
        return false;
    }
    const SysState_t from = m_state;
    m_state = _to;
    LOG(lcCommon, QString("system state %1 -> %2 (%3)").arg(int(from)).arg(int(_to)).arg(QLatin1String(_transition)));
    emit changed(from, _to, _reason);
    return true;
}
