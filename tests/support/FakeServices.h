#pragma once

#include <QList>
#include <QObject>

#include "common/RunState.h"
#include "common/SystemServices.h"

class FirmwareUpdateFileModel;
class StickInterface;
class ZigBeeDeviceModel;

// The workers below the window without the bridge: the run state, the file
// list, the device list and the stick interface, each handed what it needs
// and connected as the bridge connects them. No window interface, texts,
// languages, index download or backup files.
class FakeServices : public QObject
{
    Q_OBJECT
public:
    using SysState_t = SystemServices::SysState_t;

    FakeServices();
    ~FakeServices() override;

    // A fresh device list and stick interface, the state idle and the index
    // unanswered, as after a start; the file list stays as it is.
    void renewLink();

    RunState& runState() { return m_runState; }
    SysState_t SysState() const { return m_runState.state(); }
    bool isSysState(SysState_t _state) const { return m_runState.is(_state); }
    // Puts the system into _state without the transitions.
    void setSysState(SysState_t _state) { m_runState.jumpTo(_state); }

    void addToUpdateList(ushort _shortAddr);
    bool isInUpdateList(ushort _shortAddr) const;
    const QList<ushort>& updateList() const;

    ZigBeeDeviceModel* deviceModel() const { return m_devices; }
    void setUpdateXmlState(SystemServices::UpdateXmlState_t _state);

    FirmwareUpdateFileModel* files() const { return m_files; }
    StickInterface* stick() const { return m_stick; }

private:
    RunState m_runState;
    FirmwareUpdateFileModel* m_files = nullptr;
    ZigBeeDeviceModel* m_devices = nullptr;
    StickInterface* m_stick = nullptr;
};
