#pragma once

#include <QObject>
#include <QString>

// The values of the system state and of the update index's state, which
// every layer and the window share: the window receives and passes the
// numbers, so they are part of its interface. The one owner of the system
// state is RunState.
class SystemServices : public QObject
{
    Q_OBJECT
public:
    // The long-running activity under way.
    enum SysState_t
    {
        SysStateInit = 0,
        SysStateIdle = 1,
        SysStateDeviceUpdate = 2,
        SysStateStickUpdate = 3,
        SysStateProgUpdate = 4,
        SysStateUpdateDownload = 5,
        SysStateError = 6,
    };
    Q_ENUM(SysState_t)

    // Where the fetch of the update index stands.
    enum UpdateXmlState_t
    {
        eUpdateXmlStateUnknown = 0,
        eUpdateXmlStateOk = 1,
        eUpdateXmlStateTimeout = 2,
        eUpdateXmlStateWrong = 3,
        eUpdateXmlStateOutdated = 4, // verified, but older than an index accepted before
    };
    Q_ENUM(UpdateXmlState_t)

    using QObject::QObject;
};
