#include "CProg2Gui.h"

#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QStringListModel>
#include <QUrl>

#include "DocumentOpener.h"
#include "HelpTexts.h"
#include "LanguageList.h"
#include "SettingsDefaults.h"
#include "common/DeviceType.h"
#include "common/RunState.h"
#include "common/log.h"
#include "common/settings.h"
#include "content/BackupIni.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateIndex.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"
#include "version.h"

// The stick's texts are asked for under the window's numbers.
static_assert(int(CProg2Gui::StickVersionTxt_ValId) == StickInterface::StickVersionTxt);
static_assert(int(CProg2Gui::StickConnectStateTxt_ValId) == StickInterface::StickConnectStateTxt);
static_assert(int(CProg2Gui::ConnectedNetworkStatus_ValId) == StickInterface::ConnectedNetworkStatusTxt);
static_assert(int(CProg2Gui::StickUpdateDoneImg_ValId) == StickInterface::StickUpdateDoneImg);

namespace {
const char* const kDefaultShortCut = "en_GB";

// The highlight the window was last told about; one per process, like the window.
CProg2Gui::Highlight_t s_lastHighlight = CProg2Gui::HighlightNone;

// The folder of the executable ("help", "licence", "translation", "device").
QString applDir()
{
    return applDirPath.isEmpty() ? QCoreApplication::applicationDirPath() : applDirPath;
}

QString settingsString(const char* _key)
{
    QSettings* settings = getSettings();
    return settings ? settings->value(_key).toString() : QString();
}

void writeSetting(const char* _key, const QVariant& _value)
{
    if (QSettings* settings = getSettings())
        settings->setValue(_key, _value);
}
} // namespace

CProg2Gui* theBridge = nullptr;
FirmwareUpdateFileModel* theFileModel = nullptr;

CProg2Gui::CProg2Gui(QObject* parent) : SystemServices(parent)
{
    theBridge = this;
    UpdateIndex::initQueryResource();
    init();
    m_runState.ready();
    updateHelp();
}

CProg2Gui::~CProg2Gui()
{
    // The workers go first, while the members they may reach through the
    // bridge (signature verifier, downloader) still exist.
    // Each is unreachable through the bridge before it goes.
    m_RunReport.toolClosing();
    m_UpdateXmlTimer.stop();
    delete std::exchange(m_StickInterface, nullptr);
    delete std::exchange(zigBeeDeviceModel, nullptr);
    if (theFileModel == firmwareUpdateFileModel)
        theFileModel = nullptr;
    delete std::exchange(firmwareUpdateFileModel, nullptr);
    if (theBridge == this)
        theBridge = nullptr;
}

void CProg2Gui::init()
{
    theBridge = this;
    CONNECT_OR_LOG(lcBridge, this, &CProg2Gui::quitApplication, QCoreApplication::instance(), &QCoreApplication::quit);
    CONNECT_OR_LOG(lcBridge, &m_runState, &RunState::changed, this, &CProg2Gui::runStateChanged);

    // A crash in the middle of a write must not hold up the next one.
    if (getSettings())
        removeEmptyLockFile(getSettings()->fileName());
    removeEmptyLockFile(BackupIni::path());

    // What the last self-update left has done its work.
    ToolUpdater::removeLeftovers();

    m_Languages = new LanguageList(this);
    initLanguageHandling();

    firmwareUpdateFileModel = new FirmwareUpdateFileModel(this);
    theFileModel = firmwareUpdateFileModel;
    CONNECT_OR_LOG(lcBridge, firmwareUpdateFileModel, &FirmwareUpdateFileModel::selectionChanged, this,
                   &CProg2Gui::firmwareDataRepaint);
    CONNECT_OR_LOG(
        lcBridge, firmwareUpdateFileModel, &FirmwareUpdateFileModel::downloadsEnded, this,
        [this](bool _cancelled) { m_runState.end(_cancelled ? RunState::eEndCancelled : RunState::eEndDone); });
    CONNECT_OR_LOG(lcBridge, firmwareUpdateFileModel, &FirmwareUpdateFileModel::toolPackageStored, this,
                   &CProg2Gui::setApplUpdateInfo);
    CONNECT_OR_LOG(lcBridge, firmwareUpdateFileModel, &FirmwareUpdateFileModel::stickFirmwareStored, this,
                   &CProg2Gui::setStickUpdateInfo);
    // The tool itself is a row of the firmware list.
    firmwareUpdateFileModel->addFirmwareFile(DeviceType::Tool, LUMORAN_VERSION_TEXT, QString(), 0);
    m_ApplVersion.setVersion(parseVersion(LUMORAN_VERSION_TEXT));

    initSettings();
    BackupIni::preProcessBackupIni();
    processProductionIni();
    createDeviceWorkers();
    loadBackupIni();
    startUpdateIndexDownload();
    updateHelp();
}

void CProg2Gui::createDeviceWorkers()
{
    // The device list exists before the stick interface, which feeds it.
    zigBeeDeviceModel = new ZigBeeDeviceModel(*firmwareUpdateFileModel, m_runState, this);
    CONNECT_OR_LOG(lcBridge, zigBeeDeviceModel, &ZigBeeDeviceModel::deviceDataRepaint, this,
                   &CProg2Gui::deviceDataRepaint);
    CONNECT_OR_LOG(lcBridge, firmwareUpdateFileModel, &FirmwareUpdateFileModel::versionChanged, zigBeeDeviceModel,
                   &ZigBeeDeviceModel::updateVersionChanged);

    m_StickInterface = new StickInterface(*firmwareUpdateFileModel, *zigBeeDeviceModel, m_runState, this);
    CONNECT_OR_LOG(lcBridge, &m_StickInterface->otaServer(), &OtaServer::durationMeasured, firmwareUpdateFileModel,
                   &FirmwareUpdateFileModel::recordDuration);
    CONNECT_OR_LOG(lcBridge, m_StickInterface, &StickInterface::textChanged, this, &CProg2Gui::textChanged);
    CONNECT_OR_LOG(lcBridge, m_StickInterface, &StickInterface::stickVersionAvailable, this,
                   &CProg2Gui::stickDataChangedSlot);
    CONNECT_OR_LOG(lcBridge, m_StickInterface, &StickInterface::helpUpdateRequired, this, &CProg2Gui::updateHelp);
    CONNECT_OR_LOG(lcBridge, m_StickInterface, &StickInterface::deviceDataRepaint, this, &CProg2Gui::deviceDataRepaint);
    // The help box tells a running device update that its network changed.
    CONNECT_OR_LOG(lcBridge, m_StickInterface, &StickInterface::networkChanged, this, [this] {
        m_networkChangedInRun = m_runState.state() == SysStateDeviceUpdate;
        updateHelp();
    });
}

void CProg2Gui::startUpdateIndexDownload()
{
    // initSettings() has written these.
    const QString updateFile = settingsString("update/UpdateFile");
    const QString updateExt = settingsString("update/UpdateExt");
    const QString updateSigExt = settingsString("update/UpdateSigExt");
    const QString updateUrl = settingsString("update/UpdateUrl");

    m_UpdateXmlDownloader.setAuthRequired(true);
    // The index download ends as a firmware download does: a server that
    // stalls or drips is given up, and the window shows the error.
    m_UpdateXmlDownloader.setUsualLimits();
    CONNECT_OR_LOG(lcBridge, &m_UpdateXmlDownloader, &AuthFileDownloader::downloaded, this,
                   &CProg2Gui::processUpdateXml);
    CONNECT_OR_LOG(lcBridge, &m_UpdateXmlDownloader, &AuthFileDownloader::authFailed, this,
                   &CProg2Gui::processAuthFailed);
    CONNECT_OR_LOG(lcBridge, &m_UpdateXmlDownloader, &AuthFileDownloader::error, this, &CProg2Gui::failedUpdateXml);

    m_UpdateXmlTimer.setSingleShot(true);
    CONNECT_OR_LOG(lcBridge, &m_UpdateXmlTimer, &QTimer::timeout, this, &CProg2Gui::timeoutUpdateXml);
    m_UpdateXmlTimer.start(kUpdateXmlTimeoutMs);

    m_UpdateXmlDownloader.setFileName(getTempPath(), updateFile, updateExt, updateSigExt);
    m_UpdateXmlDownloader.setUrl(updateUrl, updateFile, updateExt, updateSigExt);
}

void CProg2Gui::initSettings()
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

void CProg2Gui::setApplUpdateInfo(unsigned int _version, QString _fileName)
{
    m_ApplVersion.setUpdateInfo(_version, _fileName);
}

void CProg2Gui::setStickUpdateInfo(unsigned int _version, QString _fileName)
{
    if (m_StickInterface)
        m_StickInterface->setStickUpdateInfo(_version, _fileName);
}

void CProg2Gui::takeStickFirmware(const BackupIni::Entry& _entry)
{
    if (!DeviceType::isStick(_entry.devType) || !m_StickInterface)
        return;
    m_StickInterface->setStickDevType(DeviceType::UsbStick);
    m_StickInterface->setStickUpdateInfo(parseVersion(_entry.version), _entry.fileName);
}

void CProg2Gui::processProductionIni()
{
    for (const BackupIni::Entry& entry : BackupIni::processProductionIni(applDir() + "/device", LUMORAN_VERSION_TEXT)) {
        takeStickFirmware(entry);
        firmwareUpdateFileModel->addFirmwareFile(entry.devType, entry.version, entry.fileName, entry.duration);
    }
}

void CProg2Gui::loadBackupIni()
{
    for (const BackupIni::Entry& entry : BackupIni::entries()) {
        const quint32 version = parseVersion(entry.version);
        takeStickFirmware(entry);
        if (DeviceType::isTool(entry.devType) && version != kNoVersion && version > m_ApplVersion.m_version) {
            // Only a package the update key signed is offered.
            QByteArray package;
            QString why;
            if (ToolUpdater::checkPackage(entry.fileName, &package, &why))
                m_ApplVersion.setUpdateInfo(version, entry.fileName);
            else
                LOG(lcBridge, QString("tool package '%1' is not offered: %2").arg(entry.fileName, why));
        }
        firmwareUpdateFileModel->setKnownFile(entry.devType, entry.version, entry.fileName, entry.duration,
                                              HeldFileDigest(entry.size, entry.sha256));
    }
}

void CProg2Gui::emitRepaintSet()
{
    emit applDataRepaint();
    emit stickDataRepaint();
    emit firmwareDataRepaint();
    emit deviceDataRepaint();
}

void CProg2Gui::setSysState(SysState_t _SysState)
{
    m_runState.jumpTo(_SysState);
}

void CProg2Gui::runStateChanged()
{
    if (m_runState.state() != SysStateDeviceUpdate)
        m_networkChangedInRun = false;
    emitRepaintSet();
}

QObject* CProg2Gui::langListModelObject() const
{
    return m_Languages->model();
}

QObject* CProg2Gui::firmwareUpdateFileModelObject() const
{
    return firmwareUpdateFileModel;
}

QObject* CProg2Gui::zigBeeDeviceModelObject() const
{
    return zigBeeDeviceModel;
}

// ---------------------------------------------------------------------------
// Refresh triggers and small slots

void CProg2Gui::setTranslateHelper(QString arg)
{
    emit translateHelperChanged(arg);
}

void CProg2Gui::setStickRefreshHelper(QString arg)
{
    emit stickRefreshHelperChanged(arg);
}

void CProg2Gui::setHelpBoxHelper(QString arg)
{
    emit helpBoxHelperChanged(arg);
}

void CProg2Gui::setHelperFlag(bool arg)
{
    if (m_helperFlag == arg)
        return;
    m_helperFlag = arg;
    qCDebug(lcBridge, "setHelperFlag %s", arg ? "true" : "false");
    emit helperFlagChanged(arg);
}

void CProg2Gui::textChanged(int)
{
    emit translateHelperChanged(m_lang);
}

void CProg2Gui::stickDataChangedSlot()
{
    emit stickDataRepaint();
    emit stickRefreshHelperChanged(QString());
}

// ---------------------------------------------------------------------------
// Values and actions

bool CProg2Gui::isStickConnected() const
{
    return m_StickInterface && m_StickInterface->linkState() == CSerialPortHandler::eStateConnected;
}

bool CProg2Gui::isStickUpdateOffered() const
{
    // Only once the stick has reported its version: before that the held
    // firmware may be the very version the stick already runs.
    return m_StickInterface && m_StickInterface->isStickUpdateAvailable();
}

bool CProg2Gui::isStickUpdatePossible() const
{
    return m_runState.state() == SysStateIdle && isStickConnected() && isStickUpdateOffered() &&
           m_StickInterface->stickUpdateState() != OtaServer::eStickUpdateStateTransfer;
}

bool CProg2Gui::boGetVal(ValId_t _ValId)
{
    const bool idle = m_runState.state() == SysStateIdle;
    const int nwkState = m_StickInterface ? m_StickInterface->nwkState() : StickInterface::eNwkStateUnknown;
    switch (_ValId) {
    case StickUpdateProgressVisible_ValId:
        return m_StickInterface && m_StickInterface->stickFirmware().m_progress >= 0;
    case DeviceCombinedProgressVisible_ValId:
        return m_runState.state() == SysStateDeviceUpdate;
    case DeviceAbortButton_ValId:
        // Cancel ends whatever update or download runs.
        return m_runState.state() == SysStateDeviceUpdate || m_runState.state() == SysStateStickUpdate ||
               m_runState.state() == SysStateUpdateDownload;
    case DeviceUpdateButton_ValId:
        return idle && isStickConnected() && nwkState == StickInterface::eNwkStateJoined;
    case FileUpdateButton_ValId:
        return idle && firmwareUpdateFileModel->anyUpdateSelected();
    case StickUpdateButtonEnabled_ValId:
        return isStickUpdatePossible();
    case StickJoinNewNwButtonEnabled_ValId:
        return idle &&
               (nwkState == StickInterface::eNwkStateDisconnected ||
                nwkState == StickInterface::eNwkStateDiscoveryFailed || nwkState == StickInterface::eNwkStateJoined);
    case ApplUpdateButton_ValId:
        return idle && m_ApplVersion.hasUpdate();
    case ReportButton_ValId:
        // During a device run the report tells the run so far.
        return m_RunReport.isDeviceRunUnderWay() || m_RunReport.hasReport();
    default:
        LOG(lcBridge, QString("wrong _ValId %1").arg(int(_ValId)));
        return false;
    }
}

int CProg2Gui::iGetVal(ValId_t _ValId)
{
    switch (_ValId) {
    case LangCount_ValId:
        return m_Languages->names().size();
    case LangIndex_ValId:
        return m_Languages->names().indexOf(m_lang);
    case StickUpdateProgress_ValId:
        return m_StickInterface ? m_StickInterface->stickFirmware().m_progress : -1;
    case FirmwareSelectState_ValId:
        return firmwareUpdateFileModel->selectionState();
    case DeviceCombinedProgressPercent_ValId:
        return zigBeeDeviceModel->progressPerMille();
    default:
        LOG(lcBridge, QString("wrong _ValId %1").arg(int(_ValId)));
        return -1;
    }
}

QString CProg2Gui::getText(ValId_t _TxtId)
{
    switch (_TxtId) {
    case StickVersionTxt_ValId:
    case StickConnectStateTxt_ValId:
    case ConnectedNetworkStatus_ValId:
    case StickUpdateDoneImg_ValId:
        return m_StickInterface ? m_StickInterface->getText(_TxtId) : QString();
    case ApplName_ValId:
        return QStringLiteral(LUMORAN_APPLICATION_NAME);
    case ApplVersion_ValId:
        return m_ApplVersion.versionHtml("blue", "green");
    case ApplCopyright_ValId:
        return tr("© 2026 Vandrel. All rights reserved.");
    case ApplActVersion_ValId:
        return versionPrefixed(m_ApplVersion.versionString());
    case ApplLicence_ValId:
        return getLicenceText();
    case ServerErrorTxt_ValId:
        return getServerErrorText();
    case DeviceCombinedProgressText_ValId:
        return zigBeeDeviceModel->progressText();
    case DeviceCountTxt_ValId:
        return zigBeeDeviceModel->deviceCountText();
    case HelpBoxTxt_ValId:
        return getHelpText();
    default: {
        const QString text = QString("wrong txt Id %1").arg(int(_TxtId));
        LOG(lcBridge, text);
        return text;
    }
    }
}

void CProg2Gui::qmlAction(QmlAction_t _action)
{
    switch (_action) {
    case StartFileDownload_QmlAction:
        // The file list sets the state back to idle when no selected file is left.
        if (m_runState.beginDownload())
            firmwareUpdateFileModel->StartFileDownload();
        break;
    case StartDeviceUpdate_QmlAction:
        m_StickInterface->startDeviceUpdate(true);
        break;
    case AbortDeviceUpdate_QmlAction:
        if (m_runState.state() == SysStateUpdateDownload)
            firmwareUpdateFileModel->cancelDownloads();
        else if (m_runState.state() == SysStateStickUpdate)
            m_StickInterface->otaServer().abortStickUpdate();
        else
            m_StickInterface->startDeviceUpdate(false);
        break;
    case OpenHelp_QmlAction:
        OpenHelp();
        break;
    case DoToolUpdate_QmlAction:
        UpdateTool();
        break;
    case DoStickUpdate_QmlAction:
        m_StickInterface->startStickUpdate();
        break;
    case ResetToFN_QmlAction:
        m_StickInterface->requestResetToFN();
        emit deviceDataRepaint();
        break;
    case CommonFileSelector_QmlAction:
        firmwareUpdateFileModel->toggleSelectAll();
        break;
    case OpenReport_QmlAction:
        if (m_RunReport.isDeviceRunUnderWay())
            openDocument(m_RunReport.writeInterim(), tr("The report of the running update could not be opened."));
        else if (m_RunReport.hasReport())
            openDocument(m_RunReport.latestPdf(), tr("The report could not be opened."));
        break;
    case OpenFolder_QmlAction:
        if (!m_unopenedDocument.isEmpty())
            DocumentOpener::open(QUrl::fromLocalFile(QFileInfo(m_unopenedDocument).absolutePath()));
        break;
    default:
        LOG(lcBridge, QString("unknown QML action %1").arg(int(_action)));
        break;
    }
}

CProg2Gui::Highlight_t CProg2Gui::currentHighlight() const
{
    if (m_runState.state() != SysStateIdle)
        return HighlightNone;
    if (firmwareUpdateFileModel->anyUpdateSelected())
        return HighlightFileDownload;
    if (m_ApplVersion.hasUpdate())
        return HighlightApplication;
    if (isStickUpdatePossible())
        return HighlightStickUpdate;
    if (isStickConnected() && m_StickInterface->nwkState() == StickInterface::eNwkStateJoined)
        return HighlightDeviceUpdate;
    return HighlightNone;
}

bool CProg2Gui::isHighlightState(Highlight_t _Highlight)
{
    const Highlight_t current = currentHighlight();
    if (current != s_lastHighlight) {
        // The window asks again on these and gets the same answer, so this
        // happens once per change.
        s_lastHighlight = current;
        emit applDataRepaint();
        emit firmwareDataRepaint();
        emit stickDataRepaint();
        emit deviceDataRepaint();
    }
    return _Highlight == current;
}

// ---------------------------------------------------------------------------
// Update index

void CProg2Gui::processUpdateXml()
{
    m_UpdateXmlTimer.stop();

    QList<UpdateIndex::Record> records;
    quint64 serial = UpdateIndex::kNoSerial;
    const UpdateIndex::Outcome_t outcome = UpdateIndex::evaluate(m_UpdateXmlDownloader.data(), records, &serial);
    if (outcome != UpdateIndex::eOutcomeOk || !UpdateIndex::acceptSerial(serial)) {
        setUpdateXmlState(outcome != UpdateIndex::eOutcomeOk ? eUpdateXmlStateWrong : eUpdateXmlStateOutdated);
        if (outcome != UpdateIndex::eOutcomeOk)
            LOG(lcBridge, UpdateIndex::outcomeText(outcome));
        emit firmwareDataRepaint();
        return;
    }

    for (const UpdateIndex::Record& record : records)
        firmwareUpdateFileModel->updateFirmwareFileData(record);
    m_UpdateXmlResult = ProgressHelper::eResultSuccess;
    setUpdateXmlState(eUpdateXmlStateOk);

    LOG(lcBridge, QString("any device updates: %1").arg(firmwareUpdateFileModel->anyUpdateSelected() ? "yes" : "no"));
    emit firmwareDataRepaint();
    emit stickDataRepaint();
    LOG(lcBridge, QString("cmd line arg: %1").arg(QCoreApplication::arguments().join(" + ")));
}

void CProg2Gui::processAuthFailed()
{
    updateXmlFailed(ProgressHelper::eResultAuthFail);
}

void CProg2Gui::failedUpdateXml()
{
    updateXmlFailed(ProgressHelper::eResultFail);
}

void CProg2Gui::updateXmlFailed(ProgressHelper::_eResult_t _result)
{
    m_UpdateXmlResult = _result;
    m_UpdateXmlTimer.stop();
    setUpdateXmlState(eUpdateXmlStateWrong);
    emit firmwareDataRepaint();
}

void CProg2Gui::timeoutUpdateXml()
{
    // The download goes on: a late index still moves the state to Ok.
    m_UpdateXmlTimer.stop();
    setUpdateXmlState(eUpdateXmlStateTimeout);
    emit firmwareDataRepaint();
}

void CProg2Gui::setUpdateXmlState(UpdateXmlState_t _state)
{
    m_UpdateXmlState = _state;
    firmwareUpdateFileModel->setIndexState(_state);
}

QString CProg2Gui::updateXmlStateText() const
{
    return UpdateIndex::stateText(m_UpdateXmlState);
}

// ---------------------------------------------------------------------------
// Languages

void CProg2Gui::initLanguageHandling()
{
    m_Languages->load(applDir() + "/translation");
    if (m_Languages->names().isEmpty()) {
        qCDebug(lcBridge, "%s(%i) %s: there are no translations available", __FILE__, __LINE__,
                "CProg2Gui::initLanguageHandling");
        writeSetting("applSettings/lang", QString());
    }
}

QString CProg2Gui::getLang(int _Num)
{
    return m_Languages->names().value(_Num);
}

QString CProg2Gui::getLangShortCut(QString _name) const
{
    return m_Languages->shortCut(_name);
}

void CProg2Gui::setLang(QString arg)
{
    if (arg == m_lang)
        return;
    m_lang = arg;
    if (QCoreApplication::instance())
        writeSetting("applSettings/lang", m_Languages->install(m_lang) ? m_lang : QString());

    firmwareUpdateFileModel->refreshAll();
    zigBeeDeviceModel->refreshAll();
    emit langChanged(m_lang);
    emit translateHelperChanged(m_lang);
}

void CProg2Gui::setInitCompleted(bool arg)
{
    if (arg == m_initCompleted)
        return;
    m_initCompleted = arg;
    if (arg) {
        QSettings* settings = getSettings();
        const QString saved = settings ? settings->value("applSettings/lang", QString()).toString() : QString();
        if (!m_Languages->names().isEmpty()) {
            // A saved choice wins; without one (or when its translation is
            // gone) the language of the system, else English.
            setLang(m_Languages->names().contains(saved) ? saved : m_Languages->nameForLocale(QLocale::system()));
        }
        emit deviceDataRepaint();
    }
    emit initCompletedChanged(arg);
}

// ---------------------------------------------------------------------------
// Help, server status, licence and manual

void CProg2Gui::updateHelp()
{
    const int nwkState = m_StickInterface ? m_StickInterface->nwkState() : StickInterface::eNwkStateUnknown;
    const int openProblem =
        m_StickInterface ? m_StickInterface->serialPortHandler().openProblem() : CSerialPortHandler::eOpenProblemNone;
    m_HelpId = HelpTexts::helpIdFor(m_runState.state(), isStickConnected(), nwkState, openProblem);
    if (m_HelpId == HelpNone)
        LOG(lcBridge, QString("wrong sys state: %1").arg(int(m_runState.state())));
    emit helpBoxHelperChanged(QString());
}

QString CProg2Gui::getHelpText() const
{
    if ((m_HelpId == HelpPortNoAccess || m_HelpId == HelpPortInUse) && m_StickInterface) {
        const CSerialPortHandler& port = m_StickInterface->serialPortHandler();
        const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
        return m_RunReport.helpNotice() +
               HelpTexts::portProblem(m_HelpId, port.problemPortLocation(), port.problemPortGroup(), user);
    }
    return m_RunReport.helpNotice() + HelpTexts::text(m_HelpId, m_networkChangedInRun);
}

QString CProg2Gui::serverStatusText(int _errorCode, ProgressHelper::_eResult_t _result, UpdateXmlState_t _state)
{
    return HelpTexts::serverStatusText(_errorCode, _result, _state);
}

QString CProg2Gui::getServerErrorText() const
{
    const QString text = serverStatusText(m_UpdateXmlDownloader.errorCode(), m_UpdateXmlResult, m_UpdateXmlState);
    LOG(lcBridge, QString("url '%1', XmlDl.err '%2', XmlDl Result '%3', XmlState '%4': txt: '%5' processed %6")
                      .arg(m_UpdateXmlDownloader.url(), m_UpdateXmlDownloader.errorString(true),
                           ProgressHelper::resultName(m_UpdateXmlResult), updateXmlStateText(), text,
                           m_UpdateXmlState != eUpdateXmlStateUnknown ? "true" : "false"));
    return text;
}

QString CProg2Gui::getLicenceText()
{
    const QString shortCut = getLangShortCut(m_lang);
    return HelpTexts::licenceText(QDir(applDir() + "/licence").absolutePath(),
                                  shortCut.isEmpty() ? QString(kDefaultShortCut) : shortCut);
}

QString CProg2Gui::localFileUrl(const QString& _path)
{
    return HelpTexts::localFileUrl(_path);
}

void CProg2Gui::OpenHelp()
{
    const QString path =
        HelpTexts::manualPath(QDir(applDir() + "/help").absolutePath(), getLangShortCut(m_lang), m_lang);
    openDocument(path, tr("The manual could not be opened."));
}

void CProg2Gui::openDocument(const QString& _path, const QString& _problem)
{
    if (_path.isEmpty())
        return;
    // Where no program opens PDF files the user can still find the file.
    if (QFile::exists(_path) && DocumentOpener::open(QUrl::fromLocalFile(_path))) {
        m_unopenedDocument.clear();
        return;
    }
    m_unopenedDocument = _path;
    const QString problem = QFile::exists(_path) ? _problem + " " + tr("No program for PDF files was found.")
                                                 : _problem + " " + tr("The file is missing.");
    emit displayErrorWindow(QVariantMap{{"text", problem}, {"path", QDir::toNativeSeparators(_path)}});
}

// ---------------------------------------------------------------------------
// The tool's self-update

void CProg2Gui::UpdateTool()
{
    // Quitting ends the event loop; the script waits for this process to end.
    if (m_ToolUpdater.updateTool(m_ApplVersion))
        emit quitApplication();
    else
        emit displayErrorWindow(QVariant(m_ToolUpdater.errorText()));
}

// The update list itself is held by the OTA server; before it exists and
// while the bridge goes down the list is empty.
const QList<ushort>& CProg2Gui::updateList() const
{
    static const QList<ushort> s_none;
    return m_StickInterface ? m_StickInterface->otaServer().updateList() : s_none;
}

void CProg2Gui::addToUpdateList(ushort _shortAddr)
{
    if (m_StickInterface)
        m_StickInterface->otaServer().addToUpdateList(_shortAddr);
}

bool CProg2Gui::isInUpdateList(ushort _shortAddr) const
{
    return updateList().contains(_shortAddr);
}

void CProg2Gui::removeFromUpdateList(ushort _shortAddr)
{
    if (m_StickInterface)
        m_StickInterface->otaServer().removeFromUpdateList(_shortAddr);
}

void CProg2Gui::clearUpdateList()
{
    if (m_StickInterface)
        m_StickInterface->otaServer().clearUpdateList();
}
