#include "FakeServices.h"

#include <utility>

#include "common/FirmwareCatalog.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"

FakeServices::FakeServices()
{
    theBridge = this;
    m_files = new FirmwareUpdateFileModel(this);
    theFileModel = m_files;
    renewLink();
}

FakeServices::~FakeServices()
{
    // As the bridge does: each worker is unreachable before it goes.
    delete std::exchange(m_stick, nullptr);
    delete std::exchange(m_devices, nullptr);
    delete std::exchange(m_files, nullptr);
    if (theBridge == this)
        theBridge = nullptr;
}

void FakeServices::renewLink()
{
    delete std::exchange(m_stick, nullptr);
    delete std::exchange(m_devices, nullptr);
    m_devices = new ZigBeeDeviceModel(this);
    connect(m_files, &FirmwareUpdateFileModel::versionChanged, m_devices, &ZigBeeDeviceModel::updateVersionChanged);
    m_stick = new StickInterface(this);
    m_state = SysStateIdle;
    m_updateXmlState = eUpdateXmlStateUnknown;
    m_stateChanges = 0;
}

void FakeServices::setSysState(SysState_t _state)
{
    m_state = _state;
    ++m_stateChanges;
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

void FakeServices::removeFromUpdateList(ushort _shortAddr)
{
    if (m_stick)
        m_stick->otaServer().removeFromUpdateList(_shortAddr);
}

void FakeServices::setApplUpdateInfo(unsigned int _version, QString _fileName)
{
    m_applUpdateVersion = _version;
    m_applUpdateFile = _fileName;
}

void FakeServices::setStickUpdateInfo(unsigned int _version, QString _fileName)
{
    if (m_stick)
        m_stick->setStickUpdateInfo(_version, _fileName);
}
