#pragma once

#include <QObject>
#include <QString>

class BotanWrapper;
class ZigBeeDeviceModel;

// What the workers below the bridge (device records and list, file list,
// downloaders, stick link) need from the one object that holds the system
// state. The bridge implements it; tests implement a small fake. Nothing
// below the bridge includes a header of the bridge: it reaches the bridge
// through the process-wide pointer theBridge, which points to this interface.
class SystemServices : public QObject
{
    Q_OBJECT
public:
    // The long-running activity under way; the window receives and passes the
    // numbers, so the values are part of its interface.
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

    virtual SysState_t SysState() const = 0;
    virtual bool isSysState(SysState_t _state) const = 0;
    // Stores the state and has the window read everything again; checks no transition.
    virtual void setSysState(SysState_t _state) = 0;

    // The OTA server's list of devices whose transfer is running.
    virtual void addToUpdateList(ushort _shortAddr) = 0;
    virtual bool isInUpdateList(ushort _shortAddr) const = 0;
    virtual void removeFromUpdateList(ushort _shortAddr) = 0;

    // The device list (null before the bridge made it and while it goes down).
    virtual ZigBeeDeviceModel* deviceModel() const = 0;

    virtual UpdateXmlState_t updateXmlState() const = 0;
    // The tool's one signature verifier.
    virtual BotanWrapper& botanWrapper() = 0;

    // A newer tool package, or newer stick firmware, is held in the update folder.
    virtual void setApplUpdateInfo(unsigned int _version, QString _fileName) = 0;
    virtual void setStickUpdateInfo(unsigned int _version, QString _fileName) = 0;
};

// The one bridge of the process; set at the start of its construction.
extern SystemServices* theBridge;
