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
#include "ToolCore.h"
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

void writeSetting(const char* _key, const QVariant& _value)
{
    if (QSettings* settings = getSettings())
        settings->setValue(_key, _value);
}
} // namespace

CProg2Gui* theBridge = nullptr;

namespace {
// The core main() built for the window, else one of the adapter's own.
ToolCore& coreFor(std::unique_ptr<ToolCore>& _own)
{
    if (ToolCore* core = ToolCore::instance())
        return *core;
    _own = std::make_unique<ToolCore>();
    return *_own;
}
} // namespace

CProg2Gui::CProg2Gui(QObject* parent) : SystemServices(parent), m_core(coreFor(m_ownCore))
{
    theBridge = this;
    CONNECT_OR_LOG(lcBridge, this, &CProg2Gui::quitApplication, QCoreApplication::instance(), &QCoreApplication::quit);
    connectCore();
    m_Languages = new LanguageList(this);
    initLanguageHandling();
    emitRepaintSet();
    updateHelp();
}

CProg2Gui::~CProg2Gui()
{
    // A core of its own goes while the members its signals reach still exist.
    m_ownCore.reset();
    if (theBridge == this)
        theBridge = nullptr;
}

void CProg2Gui::connectCore()
{
    CONNECT_OR_LOG(lcBridge, &m_core.runState(), &RunState::changed, this, &CProg2Gui::runStateChanged);
    CONNECT_OR_LOG(lcBridge, &m_core, &ToolCore::filesChanged, this, &CProg2Gui::firmwareDataRepaint);
    CONNECT_OR_LOG(lcBridge, &m_core, &ToolCore::stickChanged, this, &CProg2Gui::stickDataRepaint);
    CONNECT_OR_LOG(lcBridge, &m_core, &ToolCore::devicesChanged, this, &CProg2Gui::deviceDataRepaint);
    CONNECT_OR_LOG(lcBridge, &m_core.runReport(), &RunReport::noticeChanged, this,
                   [this] { emit helpBoxHelperChanged(QString()); });

    StickInterface* stick = m_core.stick();
    CONNECT_OR_LOG(lcBridge, stick, &StickInterface::textChanged, this, &CProg2Gui::textChanged);
    CONNECT_OR_LOG(lcBridge, stick, &StickInterface::stickVersionAvailable, this, &CProg2Gui::stickDataChangedSlot);
    CONNECT_OR_LOG(lcBridge, stick, &StickInterface::helpUpdateRequired, this, &CProg2Gui::updateHelp);
    // The help box tells a running device update that its network changed.
    CONNECT_OR_LOG(lcBridge, stick, &StickInterface::networkChanged, this, [this] {
        m_networkChangedInRun = m_core.runState().is(SysStateDeviceUpdate);
        updateHelp();
    });
}

void CProg2Gui::setApplUpdateInfo(unsigned int _version, QString _fileName)
{
    m_core.setApplUpdateInfo(_version, _fileName);
}

void CProg2Gui::setStickUpdateInfo(unsigned int _version, QString _fileName)
{
    m_core.setStickUpdateInfo(_version, _fileName);
}

void CProg2Gui::processProductionIni()
{
    m_core.processProductionIni();
}

void CProg2Gui::loadBackupIni()
{
    m_core.loadBackupIni();
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
    m_core.runState().jumpTo(_SysState);
}

void CProg2Gui::runStateChanged()
{
    if (m_core.runState().state() != SysStateDeviceUpdate)
        m_networkChangedInRun = false;
    emitRepaintSet();
    emit sysStateChanged();
}

QObject* CProg2Gui::langListModelObject() const
{
    return m_Languages->model();
}

QObject* CProg2Gui::firmwareUpdateFileModelObject() const
{
    return m_core.files();
}

QObject* CProg2Gui::zigBeeDeviceModelObject() const
{
    return m_core.devices();
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
    return m_core.stick() && m_core.stick()->linkState() == CSerialPortHandler::eStateConnected;
}

bool CProg2Gui::isStickUpdateOffered() const
{
    // Only once the stick has reported its version: before that the held
    // firmware may be the very version the stick already runs.
    return m_core.stick() && m_core.stick()->isStickUpdateAvailable();
}

bool CProg2Gui::isStickUpdatePossible() const
{
    return m_core.runState().state() == SysStateIdle && isStickConnected() && isStickUpdateOffered() &&
           m_core.stick()->stickUpdateState() != StickImageUpdate::eStickUpdateStateTransfer;
}

bool CProg2Gui::boGetVal(ValId_t _ValId)
{
    const bool idle = m_core.runState().state() == SysStateIdle;
    const int nwkState = m_core.stick() ? m_core.stick()->nwkState() : StickInterface::eNwkStateUnknown;
    switch (_ValId) {
    case StickUpdateProgressVisible_ValId:
        return m_core.stick() && m_core.stick()->stickFirmware().m_progress >= 0;
    case DeviceCombinedProgressVisible_ValId:
        return m_core.runState().state() == SysStateDeviceUpdate;
    case DeviceAbortButton_ValId:
        // Cancel ends whatever update or download runs.
        return m_core.runState().state() == SysStateDeviceUpdate || m_core.runState().state() == SysStateStickUpdate ||
               m_core.runState().state() == SysStateUpdateDownload;
    case DeviceUpdateButton_ValId:
        return idle && isStickConnected() && nwkState == StickInterface::eNwkStateJoined;
    case FileUpdateButton_ValId:
        return idle && m_core.files()->anyUpdateSelected();
    case StickUpdateButtonEnabled_ValId:
        return isStickUpdatePossible();
    case StickJoinNewNwButtonEnabled_ValId:
        return idle &&
               (nwkState == StickInterface::eNwkStateDisconnected ||
                nwkState == StickInterface::eNwkStateDiscoveryFailed || nwkState == StickInterface::eNwkStateJoined);
    case ApplUpdateButton_ValId:
        return idle && m_core.applVersion().hasUpdate();
    case ReportButton_ValId:
        // During a device run the report tells the run so far.
        return m_core.runReport().isDeviceRunUnderWay() || m_core.runReport().hasReport();
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
        return m_core.stick() ? m_core.stick()->stickFirmware().m_progress : -1;
    case FirmwareSelectState_ValId:
        return m_core.files()->selectionState();
    case DeviceCombinedProgressPercent_ValId:
        return m_core.devices()->progressPerMille();
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
        return m_core.stick() ? m_core.stick()->getText(_TxtId) : QString();
    case ApplName_ValId:
        return QStringLiteral(LUMORAN_APPLICATION_NAME);
    case ApplVersion_ValId:
        return m_core.applVersion().versionHtml("blue", "green");
    case ApplCopyright_ValId:
        return tr("© 2026 Vandrel. All rights reserved.");
    case ApplActVersion_ValId:
        return versionPrefixed(m_core.applVersion().versionString());
    case ApplLicence_ValId:
        return getLicenceText();
    case ServerErrorTxt_ValId:
        return getServerErrorText();
    case DeviceCombinedProgressText_ValId:
        return m_core.devices()->progressText();
    case DeviceCountTxt_ValId:
        return m_core.devices()->deviceCountText();
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
        if (m_core.runState().beginDownload())
            m_core.files()->StartFileDownload();
        break;
    case StartDeviceUpdate_QmlAction:
        m_core.stick()->startDeviceUpdate(true);
        break;
    case AbortDeviceUpdate_QmlAction:
        if (m_core.runState().state() == SysStateUpdateDownload)
            m_core.files()->cancelDownloads();
        else if (m_core.runState().state() == SysStateStickUpdate)
            m_core.stick()->otaServer().stickUpdate().abort();
        else
            m_core.stick()->startDeviceUpdate(false);
        break;
    case OpenHelp_QmlAction:
        OpenHelp();
        break;
    case DoToolUpdate_QmlAction:
        UpdateTool();
        break;
    case DoStickUpdate_QmlAction:
        m_core.stick()->startStickUpdate();
        break;
    case ResetToFN_QmlAction:
        m_core.stick()->requestResetToFN();
        emit deviceDataRepaint();
        break;
    case CommonFileSelector_QmlAction:
        m_core.files()->toggleSelectAll();
        break;
    case OpenReport_QmlAction:
        if (m_core.runReport().isDeviceRunUnderWay())
            openDocument(m_core.runReport().writeInterim(),
                         tr("The report of the running update could not be opened."));
        else if (m_core.runReport().hasReport())
            openDocument(m_core.runReport().latestPdf(), tr("The report could not be opened."));
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
    if (m_core.runState().state() != SysStateIdle)
        return HighlightNone;
    if (m_core.files()->anyUpdateSelected())
        return HighlightFileDownload;
    if (m_core.applVersion().hasUpdate())
        return HighlightApplication;
    if (isStickUpdatePossible())
        return HighlightStickUpdate;
    if (isStickConnected() && m_core.stick()->nwkState() == StickInterface::eNwkStateJoined)
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
    m_core.processUpdateXml();
}

void CProg2Gui::processAuthFailed()
{
    m_core.updateXmlFailed(ProgressHelper::eResultAuthFail);
}

void CProg2Gui::failedUpdateXml()
{
    m_core.updateXmlFailed(ProgressHelper::eResultFail);
}

void CProg2Gui::timeoutUpdateXml()
{
    m_core.timeoutUpdateXml();
}

QString CProg2Gui::updateXmlStateText() const
{
    return UpdateIndex::stateText(m_core.updateXmlState());
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

    m_core.files()->refreshAll();
    m_core.devices()->refreshAll();
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
    const int nwkState = m_core.stick() ? m_core.stick()->nwkState() : StickInterface::eNwkStateUnknown;
    const int openProblem =
        m_core.stick() ? m_core.stick()->serialPortHandler().openProblem() : CSerialPortHandler::eOpenProblemNone;
    m_HelpId = HelpTexts::helpIdFor(m_core.runState().state(), isStickConnected(), nwkState, openProblem);
    if (m_HelpId == HelpNone)
        LOG(lcBridge, QString("wrong sys state: %1").arg(int(m_core.runState().state())));
    emit helpBoxHelperChanged(QString());
}

QString CProg2Gui::getHelpText() const
{
    if ((m_HelpId == HelpPortNoAccess || m_HelpId == HelpPortInUse) && m_core.stick()) {
        const CSerialPortHandler& port = m_core.stick()->serialPortHandler();
        const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
        return m_core.runReport().helpNotice() +
               HelpTexts::portProblem(m_HelpId, port.problemPortLocation(), port.problemPortGroup(), user);
    }
    return m_core.runReport().helpNotice() + HelpTexts::text(m_HelpId, m_networkChangedInRun);
}

QString CProg2Gui::serverStatusText(int _errorCode, ProgressHelper::_eResult_t _result, UpdateXmlState_t _state)
{
    return HelpTexts::serverStatusText(_errorCode, _result, _state);
}

QString CProg2Gui::getServerErrorText() const
{
    const QString text =
        serverStatusText(m_core.updateXmlDownloader().errorCode(), m_core.updateXmlResult(), m_core.updateXmlState());
    LOG(lcBridge, QString("url '%1', XmlDl.err '%2', XmlDl Result '%3', XmlState '%4': txt: '%5' processed %6")
                      .arg(m_core.updateXmlDownloader().url(), m_core.updateXmlDownloader().errorString(true),
                           ProgressHelper::resultName(m_core.updateXmlResult()), updateXmlStateText(), text,
                           m_core.updateXmlState() != eUpdateXmlStateUnknown ? "true" : "false"));
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
    if (m_ToolUpdater.updateTool(m_core.applVersion()))
        emit quitApplication();
    else
        emit displayErrorWindow(QVariant(m_ToolUpdater.errorText()));
}

// The update list itself is held by the OTA server; before it exists and
// while the bridge goes down the list is empty.
const QList<ushort>& CProg2Gui::updateList() const
{
    static const QList<ushort> s_none;
    return m_core.stick() ? m_core.stick()->otaServer().updateList() : s_none;
}

void CProg2Gui::addToUpdateList(ushort _shortAddr)
{
    if (m_core.stick())
        m_core.stick()->otaServer().addToUpdateList(_shortAddr);
}

bool CProg2Gui::isInUpdateList(ushort _shortAddr) const
{
    return updateList().contains(_shortAddr);
}

void CProg2Gui::removeFromUpdateList(ushort _shortAddr)
{
    if (m_core.stick())
        m_core.stick()->otaServer().removeFromUpdateList(_shortAddr);
}

void CProg2Gui::clearUpdateList()
{
    if (m_core.stick())
        m_core.stick()->otaServer().clearUpdateList();
}
