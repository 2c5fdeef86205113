#include "FakeServices.h"

#include "bridge/ToolCore.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"

FakeServices::FakeServices() : m_core(std::make_unique<ToolCore>(ToolCore::eNoIndexFetch))
{}

FakeServices::~FakeServices() = default;

RunState& FakeServices::runState()
{
    return m_core->runState();
}

FakeServices::SysState_t FakeServices::SysState() const
{
    return m_core->runState().state();
}

bool FakeServices::isSysState(SysState_t _state) const
{
    return m_core->runState().is(_state);
}

void FakeServices::setSysState(SysState_t _state)
{
    m_core->runState().jumpTo(_state);
}

ZigBeeDeviceModel* FakeServices::deviceModel() const
{
    return m_core->devices();
}

FirmwareUpdateFileModel* FakeServices::files() const
{
    return m_core->files();
}

StickInterface* FakeServices::stick() const
{
    return m_core->stick();
}

void FakeServices::setUpdateXmlState(SystemServices::UpdateXmlState_t _state)
{
    m_core->files()->setIndexState(_state);
}

const QList<ushort>& FakeServices::updateList() const
{
    return m_core->stick()->otaServer().updateList();
}

void FakeServices::addToUpdateList(ushort _shortAddr)
{
    m_core->stick()->otaServer().addToUpdateList(_shortAddr);
}

bool FakeServices::isInUpdateList(ushort _shortAddr) const
{
    return updateList().contains(_shortAddr);
}
