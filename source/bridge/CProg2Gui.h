#pragma once

#include <QList>
#include <QObject>

#include "botan/BotanWrapper.h"
#include "common/FileVersionInfo.h"

class FirmwareUpdateFileModel;
class StickInterface;
class ZigBeeDeviceModel;

// The one object the window talks to. It owns the system state that every
// worker reads and changes through the process-wide pointer theBridge.
class CProg2Gui : public QObject
{
    Q_OBJECT
public:
    enum SysState_t {
        SysStateInit = 0,
        SysStateIdle = 1,
        SysStateDeviceUpdate = 2,
        SysStateStickUpdate = 3,
        SysStateProgUpdate = 4,
        SysStateUpdateDownload = 5,
        SysStateError = 6,
    };
    Q_ENUM(SysState_t)

    enum UpdateXmlState_t {
        eUpdateXmlStateUnknown = 0,
        eUpdateXmlStateOk = 1,
        eUpdateXmlStateTimeout = 2,
        eUpdateXmlStateWrong = 3,
    };
    Q_ENUM(UpdateXmlState_t)

    explicit CProg2Gui(QObject* parent = nullptr);
    ~CProg2Gui() override;

    Q_INVOKABLE SysState_t SysState() const { return m_SysState; }
    Q_INVOKABLE bool isSysState(SysState_t _SysState) const { return m_SysState == _SysState; }
    void setSysState(SysState_t _SysState);

    // The OTA server's list of devices whose transfer is running.
    void addToUpdateList(ushort _shortAddr);
    bool isInUpdateList(ushort _shortAddr) const;
    void removeFromUpdateList(ushort _shortAddr);
    void clearUpdateList();
    const QList<ushort>& updateList() const;

    FirmwareUpdateFileModel* fileModel() const { return firmwareUpdateFileModel; }
    ZigBeeDeviceModel* deviceModel() const { return zigBeeDeviceModel; }
    StickInterface* stickInterface() const { return m_StickInterface; }
    UpdateXmlState_t updateXmlState() const { return m_UpdateXmlState; }
    const FileVersionInfo& applVersion() const { return m_ApplVersion; }
    // The tool's one signature verifier, used by every AuthFileDownloader.
    BotanWrapper& botanWrapper() { return m_BotanWrapper; }

    // A newer tool package has been stored in the update folder.
    void setApplUpdateInfo(unsigned int _version, QString _fileName);

    // "backup.ini" and "production.ini", in the order init() runs them.
    void preProcessBackupIni();
    void processProductionIni();
    void loadBackupIni();
    // Copies _sourceDir/_file to _targetDir unless it is there already; a
    // copy replaces _oldFile unless _keepOld. False only when a copy failed.
    bool copyFirmwareFile(const QString& _sourceDir, const QString& _targetDir, const QString& _file,
                          const QString& _oldFile, bool _keepOld);

signals:
    void applDataRepaint();
    void stickDataRepaint();
    void firmwareDataRepaint();
    void deviceDataRepaint();

private:
    void init();
    void initSettings();
    void initBackupIni();
    void emitRepaintSet();

    SysState_t m_SysState = SysStateInit;
    FileVersionInfo m_ApplVersion;
    FirmwareUpdateFileModel* firmwareUpdateFileModel = nullptr;
    ZigBeeDeviceModel* zigBeeDeviceModel = nullptr;
    StickInterface* m_StickInterface = nullptr;
    UpdateXmlState_t m_UpdateXmlState = eUpdateXmlStateUnknown;
    BotanWrapper m_BotanWrapper;
};

// The one bridge of the process; set at the start of its construction, never cleared.
extern CProg2Gui* theBridge;
