#pragma once

#include <QObject>
#include <QTimer>

#include "common/FileVersionInfo.h"
#include "common/ProgressHelper.h"
#include "common/RunState.h"
#include "common/SystemServices.h"
#include "content/AuthFileDownloader.h"
#include "content/BackupIni.h"

class FirmwareUpdateFileModel;
class RunReport;
class StickInterface;
class ZigBeeDeviceModel;

// The tool without its window: built once, before the window, it makes the
// run state, the firmware file list, the device list and the stick interface
// with its OTA server, hands each what it needs, connects them, fetches the
// update index and keeps the run report. The only place that wires workers
// together; the window's adapter (CProg2Gui) and the tests, fuzz harnesses
// and benchmarks build this same core.
class ToolCore : public QObject
{
    Q_OBJECT
public:
    using UpdateXmlState_t = SystemServices::UpdateXmlState_t;

    static constexpr int kUpdateXmlTimeoutMs = 5000;

    // Whether the core asks the update server for its index at start. A core
    // without (a test's or a fuzz harness's) keeps the index unanswered.
    enum IndexFetch_t
    {
        eFetchIndex,
        eNoIndexFetch,
    };

    // Reads the settings, "production.ini" and "backup.ini", makes the
    // workers and starts the index download (unless told not to); ends idle.
    explicit ToolCore(QObject* _parent = nullptr) : ToolCore(eFetchIndex, _parent) {}
    explicit ToolCore(IndexFetch_t _fetch, QObject* _parent = nullptr);
    ~ToolCore() override;

    // The core that main() (or a test fixture) built for the window, which
    // the window's adapter uses; null when there is none, and an adapter then
    // builds a core of its own.
    static ToolCore* instance() { return s_instance; }
    static void setInstance(ToolCore* _core) { s_instance = _core; }

    RunState& runState() { return m_runState; }
    const RunState& runState() const { return m_runState; }
    FirmwareUpdateFileModel* files() const { return m_files; }
    ZigBeeDeviceModel* devices() const { return m_devices; }
    StickInterface* stick() const { return m_stick; }
    RunReport& runReport() { return *m_runReport; }
    const RunReport& runReport() const { return *m_runReport; }
    // The tool's own version and the newer package held, if any.
    FileVersionInfo& applVersion() { return m_applVersion; }
    const FileVersionInfo& applVersion() const { return m_applVersion; }

    // The update index download.
    UpdateXmlState_t updateXmlState() const { return m_updateXmlState; }
    ProgressHelper::_eResult_t updateXmlResult() const { return m_updateXmlResult; }
    const AuthFileDownloader& updateXmlDownloader() const { return m_updateXmlDownloader; }
    bool isUpdateXmlTimerActive() const { return m_updateXmlTimer.isActive(); }
    void processUpdateXml();
    void updateXmlFailed(ProgressHelper::_eResult_t _result);
    void timeoutUpdateXml();

    // A newer tool package, or newer stick firmware, is held in the update folder.
    void setApplUpdateInfo(unsigned int _version, QString _fileName);
    void setStickUpdateInfo(unsigned int _version, QString _fileName);

    // Hand what "production.ini" ships and what "backup.ini" holds (both
    // read and written by BackupIni) to the file list, the stick and the
    // tool's own version record; the constructor runs them in this order.
    void processProductionIni();
    void loadBackupIni();

signals:
    // What the window shows of the files, the stick, the devices changed.
    void filesChanged();
    void stickChanged();
    void devicesChanged();

private:
    void initSettings();
    void createFileList();
    void createDeviceWorkers();
    void startUpdateIndexDownload();
    void setUpdateXmlState(UpdateXmlState_t _state);
    void takeStickFirmware(const BackupIni::Entry& _entry);

    static ToolCore* s_instance;

    RunState m_runState;
    FileVersionInfo m_applVersion;
    FirmwareUpdateFileModel* m_files = nullptr;
    ZigBeeDeviceModel* m_devices = nullptr;
    StickInterface* m_stick = nullptr;
    AuthFileDownloader m_updateXmlDownloader;
    ProgressHelper::_eResult_t m_updateXmlResult = ProgressHelper::eResultFail;
    UpdateXmlState_t m_updateXmlState = SystemServices::eUpdateXmlStateUnknown;
    QTimer m_updateXmlTimer;
    RunReport* m_runReport = nullptr;
};

// The file list of the core made last, for the code of the bridge and the
// application; null while there is none. Nothing below the bridge reads it.
extern FirmwareUpdateFileModel* theFileModel;
