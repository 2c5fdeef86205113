#pragma once

#include <memory>

#include <QList>
#include <QObject>

#include "common/RunState.h"
#include "common/SystemServices.h"

class FirmwareUpdateFileModel;
class StickInterface;
class ToolCore;
class ZigBeeDeviceModel;

// The tool without its window: the real core (ToolCore) built in the
// settings the caller installed, so that the workers are made and connected
// exactly as in the tool, but without asking for the update index: the index
// stays unanswered until a test says otherwise.
class FakeServices : public QObject
{
    Q_OBJECT
public:
    using SysState_t = SystemServices::SysState_t;

    FakeServices();
    ~FakeServices() override;

    ToolCore& core() const { return *m_core; }

    RunState& runState();
    SysState_t SysState() const;
    bool isSysState(SysState_t _state) const;
    // Puts the system into _state without the transitions.
    void setSysState(SysState_t _state);

    void addToUpdateList(ushort _shortAddr);
    bool isInUpdateList(ushort _shortAddr) const;
    const QList<ushort>& updateList() const;

    ZigBeeDeviceModel* deviceModel() const;
    void setUpdateXmlState(SystemServices::UpdateXmlState_t _state);

    FirmwareUpdateFileModel* files() const;
    StickInterface* stick() const;

private:
    std::unique_ptr<ToolCore> m_core;
};
