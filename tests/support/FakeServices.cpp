#include "FakeServices.h"

#include <utility>

#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"

FakeServices::FakeServices()
{
    m_files = new FirmwareUpdateFileModel(this);
    connect(m_files, &FirmwareUpdateFileModel::downloadsEnded, this,
            [this](bool _cancelled) { m_runState.end(_cancelled ? RunState::eEndCancelled : RunState::eEndDone); });
    connect(m_files, &FirmwareUpdateFileModel::stickFirmwareStored, this, [this](quint32 _version, QString _file) {
        if (m_stick)
            m_stick->setStickUpdateInfo(_version, _file);
    });
    renewLink();
}

FakeServices::~FakeServices()
{
    // The workers go in the reverse order of their making.
    delete std::exchange(m_stick, nullptr);
    delete std::exchange(m_devices, nullptr);
    delete std::exchange(m_files, nullptr);
}

void FakeServices::renewLink()
{
    delete std::exchange(m_stick, nullptr);
    delete std::exchange(m_devices, nullptr);
    m_devices = new ZigBeeDeviceModel(*m_files, m_runState, this);
    connect(m_files, &FirmwareUpdateFileModel::versionChanged, m_devices, &ZigBeeDeviceModel::updateVersionChanged);
    m_stick = new StickInterface(*m_files, *m_devices, m_runState, this);
    connect(&m_stick->otaServer(), &OtaServer::durationMeasured, m_files, &FirmwareUpdateFileModel::recordDuration);
    m_runState.jumpTo(SystemServices::SysStateIdle);
    setUpdateXmlState(SystemServices::eUpdateXmlStateUnknown);
}

void FakeServices::setUpdateXmlState(SystemServices::UpdateXmlState_t _state)
{
    m_files->setIndexState(_state);
}

const QList<ushort>& FakeServices::updateList() const
{
    static const QList<ushort> s_none;
    return m_stick ? m_stick->otaServer().updateList() : s_none;
}

void FakeServices::addToUpdateList(ushort _shortAddr)
{
    if (m_stick)
        m_stick->otaServer().addToUpdateList(_shortAddr);
}

bool FakeServices::isInUpdateList(ushort _shortAddr) const
{
    return updateList().contains(_shortAddr);
}
