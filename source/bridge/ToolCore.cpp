#include "ToolCore.h"

#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

#include "RunReport.h"
#include "SettingsDefaults.h"
#include "ToolUpdater.h"
#include "common/DeviceType.h"
#include "common/log.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateIndex.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "version.h"

ToolCore* ToolCore::s_instance = nullptr;
FirmwareUpdateFileModel* theFileModel = nullptr;

namespace {
// The folder of the executable ("device" holds what the tool ships).
QString applDir()
{
    return applDirPath.isEmpty() ? QCoreApplication::applicationDirPath() : applDirPath;
}

QString settingsString(const char* _key)
{
    QSettings* settings = getSettings();
    return settings ? settings->value(_key).toString() : QString();
}
} // namespace

ToolCore::ToolCore(IndexFetch_t _fetch, QObject* _parent) : QObject(_parent)
{
    UpdateIndex::initQueryResource();
    // A crash in the middle of a write must not hold up the next one.
    if (getSettings())
        removeEmptyLockFile(getSettings()->fileName());
    removeEmptyLockFile(BackupIni::path());
    // What the last self-update left has done its work.
    ToolUpdater::removeLeftovers();

    createFileList();
    initSettings();
    BackupIni::preProcessBackupIni();
    processProductionIni();
    createDeviceWorkers();
    loadBackupIni();
    if (_fetch == eFetchIndex)
        startUpdateIndexDownload();
    m_runState.ready();
}

ToolCore::~ToolCore()
{
    // A run under way is reported before the workers it reads go; each
    // worker goes before the ones it was handed.
    m_runReport->toolClosing();
    m_updateXmlTimer.stop();
    delete std::exchange(m_runReport, nullptr);
    delete std::exchange(m_stick, nullptr);
    delete std::exchange(m_devices, nullptr);
    if (theFileModel == m_files)
        theFileModel = nullptr;
    delete std::exchange(m_files, nullptr);
    if (s_instance == this)
        s_instance = nullptr;
}

void ToolCore::createFileList()
{
    m_files = new FirmwareUpdateFileModel(this);
    theFileModel = m_files;
    CONNECT_OR_LOG(lcBridge, m_files, &FirmwareUpdateFileModel::selectionChanged, this, &ToolCore::filesChanged);
    CONNECT_OR_LOG(lcBridge, m_files, &FirmwareUpdateFileModel::downloadsEnded, this, [this](bool _cancelled) {
        m_runState.end(_cancelled ? RunState::eEndCancelled : RunState::eEndDone);
    });
    CONNECT_OR_LOG(lcBridge, m_files, &FirmwareUpdateFileModel::toolPackageStored, this, &ToolCore::setApplUpdateInfo);
    CONNECT_OR_LOG(lcBridge, m_files, &FirmwareUpdateFileModel::stickFirmwareStored, this,
                   &ToolCore::setStickUpdateInfo);
    // The tool itself is a row of the firmware list.
    m_files->addFirmwareFile(DeviceType::Tool, LUMORAN_VERSION_TEXT, QString(), 0);
    m_applVersion.setVersion(parseVersion(LUMORAN_VERSION_TEXT));
}

void ToolCore::createDeviceWorkers()
{
    // The device list exists before the stick interface, which feeds it.
    m_devices = new ZigBeeDeviceModel(*m_files, m_runState, this);
    CONNECT_OR_LOG(lcBridge, m_devices, &ZigBeeDeviceModel::deviceDataRepaint, this, &ToolCore::devicesChanged);
    CONNECT_OR_LOG(lcBridge, m_files, &FirmwareUpdateFileModel::versionChanged, m_devices,
                   &ZigBeeDeviceModel::updateVersionChanged);

    m_stick = new StickInterface(*m_files, *m_devices, m_runState, this);
    CONNECT_OR_LOG(lcBridge, &m_stick->otaServer(), &OtaServer::durationMeasured, m_files,
                   &FirmwareUpdateFileModel::recordDuration);
    CONNECT_OR_LOG(lcBridge, m_stick, &StickInterface::deviceDataRepaint, this, &ToolCore::devicesChanged);

    // The report follows the run and reads the lists the run changes.
    m_runReport = new RunReport(m_runState, *m_files, *m_devices, *m_stick, this);
    CONNECT_OR_LOG(lcBridge, m_runReport, &RunReport::reportChanged, this, &ToolCore::devicesChanged);
}

void ToolCore::startUpdateIndexDownload()
{
    // initSettings() has written these.
    const QString updateFile = settingsString("update/UpdateFile");
    const QString updateExt = settingsString("update/UpdateExt");
    const QString updateSigExt = settingsString("update/UpdateSigExt");
    const QString updateUrl = settingsString("update/UpdateUrl");

    m_updateXmlDownloader.setAuthRequired(true);
    // The index download ends as a firmware download does: a server that
    // stalls or drips is given up, and the window shows the error.
    m_updateXmlDownloader.setUsualLimits();
    CONNECT_OR_LOG(lcBridge, &m_updateXmlDownloader, &AuthFileDownloader::downloaded, this,
                   &ToolCore::processUpdateXml);
    CONNECT_OR_LOG(lcBridge, &m_updateXmlDownloader, &AuthFileDownloader::authFailed, this,
                   [this] { updateXmlFailed(ProgressHelper::eResultAuthFail); });
    CONNECT_OR_LOG(lcBridge, &m_updateXmlDownloader, &AuthFileDownloader::error, this,
                   [this] { updateXmlFailed(ProgressHelper::eResultFail); });

    m_updateXmlTimer.setSingleShot(true);
    CONNECT_OR_LOG(lcBridge, &m_updateXmlTimer, &QTimer::timeout, this, &ToolCore::timeoutUpdateXml);
    m_updateXmlTimer.start(kUpdateXmlTimeoutMs);

    m_updateXmlDownloader.setFileName(getTempPath(), updateFile, updateExt, updateSigExt);
    m_updateXmlDownloader.setUrl(updateUrl, updateFile, updateExt, updateSigExt);
}

void ToolCore::initSettings()
{
    QSettings* settings = getSettings();
    if (!settings)
        return;

    SettingsDefaults::write(*settings);
    if (!QDir(getTempPath()).exists())
        QDir().mkpath(getTempPath());
    BackupIni::initBackupIni();
    settings->sync();
}

void ToolCore::setApplUpdateInfo(unsigned int _version, QString _fileName)
{
    m_applVersion.setUpdateInfo(_version, _fileName);
}

void ToolCore::setStickUpdateInfo(unsigned int _version, QString _fileName)
{
    if (m_stick)
        m_stick->setStickUpdateInfo(_version, _fileName);
}

void ToolCore::takeStickFirmware(const BackupIni::Entry& _entry)
{
    if (!DeviceType::isStick(_entry.devType) || !m_stick)
        return;
    m_stick->setStickDevType(_entry.devType);
    m_stick->setStickUpdateInfo(parseVersion(_entry.version), _entry.fileName);
}

void ToolCore::processProductionIni()
{
    for (const BackupIni::Entry& entry : BackupIni::processProductionIni(applDir() + "/device", LUMORAN_VERSION_TEXT)) {
        takeStickFirmware(entry);
        m_files->addFirmwareFile(entry.devType, entry.version, entry.fileName, entry.duration);
    }
}

void ToolCore::loadBackupIni()
{
    for (const BackupIni::Entry& entry : BackupIni::entries()) {
        const quint32 version = parseVersion(entry.version);
        takeStickFirmware(entry);
        if (DeviceType::isTool(entry.devType) && version != kNoVersion && version > m_applVersion.m_version) {
            // Only a package the update key signed is offered.
            QByteArray package;
            QString why;
            if (ToolUpdater::checkPackage(entry.fileName, &package, &why))
                m_applVersion.setUpdateInfo(version, entry.fileName);
            else
                LOG(lcBridge, QString("tool package '%1' is not offered: %2").arg(entry.fileName, why));
        }
        m_files->setKnownFile(entry.devType, entry.version, entry.fileName, entry.duration,
                              HeldFileDigest(entry.size, entry.sha256));
    }
}

// ---------------------------------------------------------------------------
// Update index

void ToolCore::processUpdateXml()
{
    m_updateXmlTimer.stop();

    QList<UpdateIndex::Record> records;
    quint64 serial = UpdateIndex::kNoSerial;
    const UpdateIndex::Outcome_t outcome = UpdateIndex::evaluate(m_updateXmlDownloader.data(), records, &serial);
    if (outcome != UpdateIndex::eOutcomeOk || !UpdateIndex::acceptSerial(serial)) {
        setUpdateXmlState(outcome != UpdateIndex::eOutcomeOk ? SystemServices::eUpdateXmlStateWrong
                                                             : SystemServices::eUpdateXmlStateOutdated);
        if (outcome != UpdateIndex::eOutcomeOk)
            LOG(lcBridge, UpdateIndex::outcomeText(outcome));
        emit filesChanged();
        return;
    }

    for (const UpdateIndex::Record& record : records)
        m_files->updateFirmwareFileData(record);
    m_updateXmlResult = ProgressHelper::eResultSuccess;
    setUpdateXmlState(SystemServices::eUpdateXmlStateOk);

    LOG(lcBridge, QString("any device updates: %1").arg(m_files->anyUpdateSelected() ? "yes" : "no"));
    emit filesChanged();
    emit stickChanged();
    LOG(lcBridge, QString("cmd line arg: %1").arg(QCoreApplication::arguments().join(" + ")));
}

void ToolCore::updateXmlFailed(ProgressHelper::_eResult_t _result)
{
    m_updateXmlResult = _result;
    m_updateXmlTimer.stop();
    setUpdateXmlState(SystemServices::eUpdateXmlStateWrong);
    emit filesChanged();
}

void ToolCore::timeoutUpdateXml()
{
    // The download goes on: a late index still moves the state to Ok.
    m_updateXmlTimer.stop();
    setUpdateXmlState(SystemServices::eUpdateXmlStateTimeout);
    emit filesChanged();
}

void ToolCore::setUpdateXmlState(UpdateXmlState_t _state)
{
    m_updateXmlState = _state;
    m_files->setIndexState(_state);
}
