#pragma once

#include <QString>

#include "botan/BotanWrapper.h"
#include "common/SystemServices.h"

class FirmwareUpdateFileModel;
class StickInterface;
class ZigBeeDeviceModel;

// What the workers below the window need from the bridge, without the
// bridge: the system state, the file list, the device list and the stick
// interface wired as the bridge wires them, and the signature verifier. No
// window interface, texts, languages, index download or backup files.
// Installs itself as theBridge and its file list as theFileModel.
class FakeServices : public SystemServices
{
    Q_OBJECT
public:
    FakeServices();
    ~FakeServices() override;

    // A fresh device list and stick interface, the state idle and the index
    // unanswered, as after a start; the file list stays as it is.
    void renewLink();

    SysState_t SysState() const override { return m_state; }
    bool isSysState(SysState_t _state) const override { return m_state == _state; }
    void setSysState(SysState_t _state) override;

    void addToUpdateList(ushort _shortAddr) override;
    bool isInUpdateList(ushort _shortAddr) const override;
    void removeFromUpdateList(ushort _shortAddr) override;
    const QList<ushort>& updateList() const;

    ZigBeeDeviceModel* deviceModel() const override { return m_devices; }
    UpdateXmlState_t updateXmlState() const override { return m_updateXmlState; }
    void setUpdateXmlState(UpdateXmlState_t _state) { m_updateXmlState = _state; }
    BotanWrapper& botanWrapper() override { return m_botan; }

    void setApplUpdateInfo(unsigned int _version, QString _fileName) override;
    void setStickUpdateInfo(unsigned int _version, QString _fileName) override;

    FirmwareUpdateFileModel* files() const { return m_files; }
    StickInterface* stick() const { return m_stick; }
    // How often the state was set, and the tool package last announced.
    int stateChanges() const { return m_stateChanges; }
    unsigned int applUpdateVersion() const { return m_applUpdateVersion; }
    QString applUpdateFile() const { return m_applUpdateFile; }

private:
    SysState_t m_state = SysStateInit;
    UpdateXmlState_t m_updateXmlState = eUpdateXmlStateUnknown;
    BotanWrapper m_botan;
    FirmwareUpdateFileModel* m_files = nullptr;
    ZigBeeDeviceModel* m_devices = nullptr;
    StickInterface* m_stick = nullptr;
    int m_stateChanges = 0;
    unsigned int m_applUpdateVersion = 0xFFFFFFFFu;
    QString m_applUpdateFile;
};
