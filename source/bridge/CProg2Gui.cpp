#include "CProg2Gui.h"

#include <utility>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringListModel>
#include <QTextStream>
#include <QTranslator>
#include <QUrl>

#include "common/DeviceType.h"
#include "common/log.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateIndex.h"
#include "content/backupIni.h"
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
const char* const kDefaultUpdateUrl = "http://update.vandrel.example/lumoran/";
const char* const kDownloadComment = "detect the TARN 'file not found' page if size matches and txt1..3 found";
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

// Reads a text key with its default and writes the value back, so that
// every key is in the file after the first start.
void keepSetting(QSettings& _settings, const char* _key, const QString& _default)
{
    _settings.setValue(_key, _settings.value(_key, _default).toString());
}
} // namespace

CProg2Gui::CProg2Gui(QObject* parent) : SystemServices(parent)
{
    theBridge = this;
    UpdateIndex::initQueryResource();
    init();
    m_SysState = SysStateIdle;
    emitRepaintSet();
    updateHelp();
}

CProg2Gui::~CProg2Gui()
{
    // The workers go first, while the members they may reach through the
    // bridge (signature verifier, downloader) still exist.
    // Each is unreachable through the bridge before it goes.
    m_UpdateXmlTimer.stop();
    delete std::exchange(m_StickInterface, nullptr);
    delete std::exchange(zigBeeDeviceModel, nullptr);
    delete std::exchange(firmwareUpdateFileModel, nullptr);
    if (m_ActTranslator && QCoreApplication::instance())
        QCoreApplication::removeTranslator(m_ActTranslator);
    if (theBridge == this)
        theBridge = nullptr;
}

void CProg2Gui::init()
{
    theBridge = this;
    if (!connect(this, &CProg2Gui::quitApplication, QCoreApplication::instance(), &QCoreApplication::quit))
        LOG(lcBridge, "connect failed");

    // A crash in the middle of a write must not hold up the next one.
    if (getSettings())
        removeEmptyLockFile(getSettings()->fileName());
    removeEmptyLockFile(backupIniPath());

    // A script left by the last self-update has done its work.
    if (QFile::exists(ToolUpdater::getUpdateStarterPath()))
        QFile::remove(ToolUpdater::getUpdateStarterPath());

    initLanguageHandling();

    firmwareUpdateFileModel = new FirmwareUpdateFileModel(this);
    theFileModel = firmwareUpdateFileModel;
    if (!connect(firmwareUpdateFileModel, &FirmwareUpdateFileModel::selectionChanged, this,
                 &CProg2Gui::firmwareDataRepaint))
        LOG(lcBridge, "connect failed");
    // The tool itself is a row of the firmware list.
    firmwareUpdateFileModel->addFirmwareFile(DeviceType::Tool, LUMORAN_VERSION_TEXT, QString(), 0);
    m_ApplVersion.setVersion(parseVersion(LUMORAN_VERSION_TEXT));

    initSettings();
    preProcessBackupIni();
    processProductionIni();

    // The device list exists before the stick interface, which feeds it.
    zigBeeDeviceModel = new ZigBeeDeviceModel(this);
    if (!connect(zigBeeDeviceModel, &ZigBeeDeviceModel::deviceDataRepaint, this, &CProg2Gui::deviceDataRepaint))
        LOG(lcBridge, "connect failed");
    if (!connect(firmwareUpdateFileModel, &FirmwareUpdateFileModel::versionChanged, zigBeeDeviceModel,
                 &ZigBeeDeviceModel::updateVersionChanged))
        LOG(lcBridge, "connect failed");

    m_StickInterface = new StickInterface(this);
    if (!connect(m_StickInterface, &StickInterface::textChanged, this, &CProg2Gui::textChanged))
        LOG(lcBridge, "connect failed");
    if (!connect(m_StickInterface, &StickInterface::stickVersionAvailable, this, &CProg2Gui::stickDataChangedSlot))
        LOG(lcBridge, "connect failed");
    if (!connect(m_StickInterface, &StickInterface::helpUpdateRequired, this, &CProg2Gui::updateHelp))
        LOG(lcBridge, "connect failed");
    if (!connect(m_StickInterface, &StickInterface::deviceDataRepaint, this, &CProg2Gui::deviceDataRepaint))
        LOG(lcBridge, "connect failed");

    // initSettings() has just written these.
    const QString updateFile = settingsString("update/UpdateFile");
    const QString updateExt = settingsString("update/UpdateExt");
    const QString updateSigExt = settingsString("update/UpdateSigExt");
    const QString updateUrl = settingsString("update/UpdateUrl");

    loadBackupIni();

    m_UpdateXmlDownloader.setAuthRequired(true);
    if (!connect(&m_UpdateXmlDownloader, &AuthFileDownloader::downloaded, this, &CProg2Gui::processUpdateXml))
        LOG(lcBridge, "connect failed");
    if (!connect(&m_UpdateXmlDownloader, &AuthFileDownloader::authFailed, this, &CProg2Gui::processAuthFailed))
        LOG(lcBridge, "connect failed");
    if (!connect(&m_UpdateXmlDownloader, &AuthFileDownloader::error, this, &CProg2Gui::failedUpdateXml))
        LOG(lcBridge, "connect failed");

    m_UpdateXmlTimer.setSingleShot(true);
    if (!connect(&m_UpdateXmlTimer, &QTimer::timeout, this, &CProg2Gui::timeoutUpdateXml))
        LOG(lcBridge, "connect failed");
    m_UpdateXmlTimer.start(kUpdateXmlTimeoutMs);

    m_UpdateXmlDownloader.setFileName(getTempPath(), updateFile, updateExt, updateSigExt);
    m_UpdateXmlDownloader.setUrl(updateUrl, updateFile, updateExt, updateSigExt);

    updateHelp();
}

void CProg2Gui::initSettings()
{
    QSettings* settings = getSettings();
    if (!settings)
        return;

    keepSetting(*settings, "update/UpdateFile", QString("update"));
    keepSetting(*settings, "update/UpdateExt", QString("xml"));
    keepSetting(*settings, "update/UpdateSigExt", QString("sig"));
    keepSetting(*settings, "update/UpdateUrl", QString(kDefaultUpdateUrl));

    const int minSize = settings->value("download/minSize", 1000).toInt();
    const int maxSize = settings->value("download/maxSize", 20000).toInt();
    const QByteArray searchText1 =
        settings->value("download/searchText1", QByteArray("www.vandrel.example")).toByteArray();
    const QByteArray searchText2 = settings->value("download/searchText2", QByteArray("<!doctype html>")).toByteArray();
    const QByteArray searchText3 =
        settings->value("download/searchText3", QByteArray("Vandrel Online-Katalog")).toByteArray();
    const QByteArray searchText4 = settings->value("download/searchText4", QByteArray("404 Not Found")).toByteArray();
    settings->setValue("download/comment", QString(kDownloadComment));
    settings->setValue("download/minSize", minSize);
    settings->setValue("download/maxSize", maxSize);
    settings->setValue("download/searchText1", searchText1);
    settings->setValue("download/searchText2", searchText2);
    settings->setValue("download/searchText3", searchText3);
    settings->setValue("download/searchText4", searchText4);

    // The keys of the start-up, the language and the window, so that users
    // find every key in the file (logging is switched on here).
    settings->setValue("applSettings/uselogfile", settings->value("applSettings/uselogfile", false).toBool());
    keepSetting(*settings, "applSettings/logfile", QCoreApplication::applicationName() + ".log");
    keepSetting(*settings, "applSettings/lang", QString());
    settings->setValue("applWinSettings/fontpointSize",
                       settings->value("applWinSettings/fontpointSize", 8.0).toDouble());
    settings->setValue("applWinSettings/width", settings->value("applWinSettings/width", 1024).toInt());
    settings->setValue("applWinSettings/height", settings->value("applWinSettings/height", 768).toInt());

    // Pinned serial ports: empty means "search every enumerated port". An empty
    // list is written as an empty value, which users can fill in by hand.
    const QStringList ports = CSerialPortHandler::pinnedPorts();
    settings->setValue("serial/ports", ports.isEmpty() ? QVariant(QString()) : QVariant(ports));

    if (!QDir(getTempPath()).exists())
        QDir().mkpath(getTempPath());
    initBackupIni();
    settings->sync();
}

void CProg2Gui::initBackupIni()
{
    const QString updatePath = getUpdatePath();
    if (!QDir().mkpath(updatePath)) {
        LOG(lcBridge, QString("can not create backup path '%1'").arg(updatePath));
        return;
    }
    QSettings backup(backupIniPath(), QSettings::IniFormat);
    backup.setValue("devices/known_devices", readKnownDevices(backup));
    backup.setValue("devices/keep_old", backup.value("devices/keep_old", false).toBool());
    syncBackupIni(backup);
    removeUnverifiedFiles();
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

void CProg2Gui::preProcessBackupIni()
{
    QSettings backup(backupIniPath(), QSettings::IniFormat);
    const QStringList groups = readKnownDevices(backup);
    for (const QString& group : groups) {
        const QString file = backup.value(group + "/file").toString();
        if (!file.isEmpty() && QFileInfo(getUpdatePath() + "/" + file).isFile())
            continue;
        if (file.isEmpty() && !backup.contains(group + "/ver"))
            continue; // pruned before
        LOG(lcBridge, QString("missing file: '%1'").arg(file));
        // The group stays known with its id and measured duration.
        backup.remove(group + "/ver");
        backup.remove(group + "/file");
    }
    syncBackupIni(backup);
}

void CProg2Gui::processProductionIni()
{
    const QString productionDir =
        (applDirPath.isEmpty() ? QCoreApplication::applicationDirPath() : applDirPath) + "/device";
    QSettings production(productionDir + "/production.ini", QSettings::IniFormat);
    QSettings backup(backupIniPath(), QSettings::IniFormat);
    QStringList backupGroups = readKnownDevices(backup);
    const bool keepOld = backup.value("devices/keep_old", false).toBool();

    for (const QString& group : readKnownDevices(production)) {
        const quint16 devType = static_cast<quint16>(production.value(group + "/id").toUInt());
        QString version = production.value(group + "/ver").toString();
        const QString file = production.value(group + "/file").toString();
        const int duration = production.value(group + "/duration").toInt();

        if (devType == DeviceType::UsbStick && m_StickInterface) {
            m_StickInterface->setStickDevType(DeviceType::UsbStick);
            m_StickInterface->setStickUpdateInfo(parseVersion(version), file);
        }
        if (devType == DeviceType::Tool)
            version = LUMORAN_VERSION_TEXT;
        firmwareUpdateFileModel->addFirmwareFile(devType, version, file, duration);
        if (file.isEmpty())
            continue;

        // The first backup group of this type decides, even when its version is empty.
        bool found = false;
        bool older = false;
        for (const QString& backupGroup : backupGroups) {
            if (backup.value(backupGroup + "/id").toUInt() != devType)
                continue;
            const QString backupVersion = backup.value(backupGroup + "/ver").toString();
            if (!backupVersion.isEmpty()) {
                found = true;
                older = parseVersion(backupVersion) < parseVersion(version);
            }
            break;
        }
        if (found && !older)
            continue;

        if (!copyFirmwareFile(productionDir, getUpdatePath(), file, backup.value(group + "/file").toString(), keepOld))
            continue;
        // A shipped file that is missing is not recorded as held.
        if (!QFileInfo(getUpdatePath() + "/" + file).isFile()) {
            LOG(lcBridge, QString("missing file: '%1'").arg(file));
            continue;
        }
        backup.setValue(group + "/id", devType);
        backup.setValue(group + "/ver", version);
        backup.setValue(group + "/file", file);
        if (!found)
            backup.setValue(group + "/duration", duration);
        const QString typeName = QString::number(devType);
        if (!backupGroups.contains(typeName)) {
            backupGroups.append(typeName);
            backup.setValue("devices/known_devices", backupGroups);
        }
    }
    syncBackupIni(backup);
}

bool CProg2Gui::copyFirmwareFile(const QString& _sourceDir, const QString& _targetDir, const QString& _file,
                                 const QString& _oldFile, bool _keepOld)
{
    // The names come from INI files a user can edit: only a file directly in
    // the folders is ever copied or deleted.
    if (!isPlainFileName(_file)) {
        LOG(lcBridge, QString("not a plain file name: '%1'").arg(_file));
        return false;
    }
    const QString source = QString("%1/%2").arg(_sourceDir, _file);
    const QString target = QString("%1/%2").arg(_targetDir, _file);
    if (!QFile::exists(source) || QFile::exists(target))
        return true;
    if (!QFile::copy(source, target))
        return false;
    if (!_keepOld && !_oldFile.isEmpty()) {
        if (!isPlainFileName(_oldFile)) {
            LOG(lcBridge, QString("not a plain file name: '%1'").arg(_oldFile));
            return true;
        }
        const QString old = QString("%1/%2").arg(_targetDir, _oldFile);
        if (QFile::exists(old))
            QFile::remove(old);
    }
    return true;
}

void CProg2Gui::loadBackupIni()
{
    QSettings backup(backupIniPath(), QSettings::IniFormat);
    for (const QString& group : readKnownDevices(backup)) {
        const quint16 devType = static_cast<quint16>(backup.value(group + "/id").toUInt());
        const QString version = backup.value(group + "/ver").toString();
        const QString file = backup.value(group + "/file").toString();
        const int duration = backup.value(group + "/duration", 0).toInt();
        if (devType == DeviceType::UsbStick && m_StickInterface) {
            m_StickInterface->setStickDevType(DeviceType::UsbStick);
            m_StickInterface->setStickUpdateInfo(parseVersion(version), file);
        }
        if (devType == DeviceType::Tool && parseVersion(version) != kNoVersion &&
            parseVersion(version) > m_ApplVersion.m_version)
            m_ApplVersion.setUpdateInfo(parseVersion(version), file);
        firmwareUpdateFileModel->setKnownFile(devType, version, file, duration);
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
    m_SysState = _SysState;
    emitRepaintSet();
}

QObject* CProg2Gui::langListModelObject() const
{
    return langListModel;
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
    return m_SysState == SysStateIdle && isStickConnected() && isStickUpdateOffered() &&
           m_StickInterface->stickUpdateState() != OtaServer::eStickUpdateStateTransfer;
}

bool CProg2Gui::boGetVal(ValId_t _ValId)
{
    const bool idle = m_SysState == SysStateIdle;
    const int nwkState = m_StickInterface ? m_StickInterface->nwkState() : StickInterface::eNwkStateUnknown;
    switch (_ValId) {
    case StickUpdateProgressVisible_ValId:
        return m_StickInterface && m_StickInterface->stickFirmware().m_progress >= 0;
    case DeviceCombinedProgressVisible_ValId:
    case DeviceAbortButton_ValId:
        return m_SysState == SysStateDeviceUpdate;
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
    default:
        LOG(lcBridge, QString("wrong _ValId %1").arg(int(_ValId)));
        return false;
    }
}

int CProg2Gui::iGetVal(ValId_t _ValId)
{
    switch (_ValId) {
    case LangCount_ValId:
        return m_LangNames.size();
    case LangIndex_ValId:
        return m_LangNames.indexOf(m_lang);
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
        m_SysState = SysStateUpdateDownload;
        emitRepaintSet();
        firmwareUpdateFileModel->StartFileDownload();
        break;
    case StartDeviceUpdate_QmlAction:
        m_StickInterface->startDeviceUpdate(true);
        break;
    case AbortDeviceUpdate_QmlAction:
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
    default:
        LOG(lcBridge, QString("unknown QML action %1").arg(int(_action)));
        break;
    }
}

CProg2Gui::Highlight_t CProg2Gui::currentHighlight() const
{
    if (m_SysState != SysStateIdle)
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

    QStringList records;
    switch (UpdateIndex::evaluate(m_UpdateXmlDownloader.data(), records)) {
    case UpdateIndex::eOutcomeQueryInvalid:
        m_UpdateXmlState = eUpdateXmlStateWrong;
        LOG(lcBridge, "query is not valid");
        emit firmwareDataRepaint();
        return;
    case UpdateIndex::eOutcomeEvaluationFailed:
        m_UpdateXmlState = eUpdateXmlStateWrong;
        LOG(lcBridge, "can NOT evaluate query");
        emit firmwareDataRepaint();
        return;
    case UpdateIndex::eOutcomeOk:
        break;
    }

    for (const QString& record : records)
        firmwareUpdateFileModel->updateFirmwareFileData(record);
    m_UpdateXmlResult = ProgressHelper::eResultSuccess;
    m_UpdateXmlState = eUpdateXmlStateOk;

    LOG(lcBridge, QString("any device updates: %1").arg(firmwareUpdateFileModel->anyUpdateSelected() ? "yes" : "no"));
    emit firmwareDataRepaint();
    emit stickDataRepaint();
    LOG(lcBridge, QString("cmd line arg: %1").arg(QCoreApplication::arguments().join(" + ")));
}

void CProg2Gui::processAuthFailed()
{
    m_UpdateXmlResult = ProgressHelper::eResultAuthFail;
    m_UpdateXmlTimer.stop();
    m_UpdateXmlState = eUpdateXmlStateWrong;
    emit firmwareDataRepaint();
}

void CProg2Gui::failedUpdateXml()
{
    m_UpdateXmlResult = ProgressHelper::eResultFail;
    m_UpdateXmlTimer.stop();
    m_UpdateXmlState = eUpdateXmlStateWrong;
    emit firmwareDataRepaint();
}

void CProg2Gui::timeoutUpdateXml()
{
    // The download goes on: a late index still moves the state to Ok.
    m_UpdateXmlTimer.stop();
    m_UpdateXmlState = eUpdateXmlStateTimeout;
    emit firmwareDataRepaint();
}

QString CProg2Gui::updateXmlStateText() const
{
    switch (m_UpdateXmlState) {
    case eUpdateXmlStateUnknown:
        return QStringLiteral("eUpdateXmlStateUnknown");
    case eUpdateXmlStateOk:
        return QStringLiteral("eUpdateXmlStateOk");
    case eUpdateXmlStateTimeout:
        return QStringLiteral("eUpdateXmlStateTimeout");
    case eUpdateXmlStateWrong:
        return QStringLiteral("eUpdateXmlStateWrong");
    }
    return QStringLiteral("wrong val of m_UpdateXmlState");
}

// ---------------------------------------------------------------------------
// Languages

void CProg2Gui::initLanguageHandling()
{
    const QDir folder(applDir() + "/translation");
    const QString folderPath = folder.absolutePath();
    LOG(lcBridge, folderPath);

    QStringList files;
    if (folder.exists())
        files = folder.entryList(QStringList{"*.qm"}, QDir::Files | QDir::NoSymLinks, QDir::NoSort);
    for (const QString& file : files) {
        const QString name = file.split('_').first();
        auto* translator = new QTranslator(this);
        if (translator->load(file, folderPath)) {
            m_LangFiles.append(file);
            m_Translators.insert(file, translator);
            m_LangNames.append(name);
        } else {
            LOG(lcBridge, QString("translator error on '%1'").arg(file));
            delete translator;
        }
    }

    langListModel = new QStringListModel(this);
    if (m_LangNames.isEmpty()) {
        qCDebug(lcBridge, "%s(%i) %s: there are no translations available", __FILE__, __LINE__,
                "CProg2Gui::initLanguageHandling");
        writeSetting("applSettings/lang", QString());
    } else {
        langListModel->setStringList(m_LangNames);
    }
}

QString CProg2Gui::getLang(int _Num)
{
    if (_Num < 0 || _Num >= m_LangNames.size())
        return QString();
    return m_LangNames.at(_Num);
}

QString CProg2Gui::getLangShortCut(QString _name) const
{
    for (const QString& file : m_LangFiles) {
        const QStringList parts = file.split('_');
        if (parts.size() < 3 || parts.first() != _name)
            continue;
        QString last = parts.last();
        const int suffix = last.indexOf(".qm");
        if (suffix >= 0)
            last.truncate(suffix);
        return parts.at(parts.size() - 2) + "_" + last;
    }
    return QString();
}

void CProg2Gui::setLang(QString arg)
{
    if (arg == m_lang)
        return;
    m_lang = arg;

    if (QCoreApplication::instance()) {
        if (m_ActTranslator) {
            QCoreApplication::removeTranslator(m_ActTranslator);
            m_ActTranslator = nullptr;
        }
        const int index = m_LangNames.indexOf(m_lang);
        if (index < 0) {
            writeSetting("applSettings/lang", QString());
        } else {
            // With two files of one name, the first one found wins.
            if (QTranslator* translator = m_Translators.value(m_LangFiles.at(index))) {
                QCoreApplication::installTranslator(translator);
                m_ActTranslator = translator;
            }
            writeSetting("applSettings/lang", m_lang);
        }
    }

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
        if (!m_LangNames.isEmpty()) {
            // A saved language that is gone is replaced by the first one found.
            const int index = qMax(0, m_LangNames.indexOf(saved));
            setLang(m_LangNames.at(index));
        }
        emit deviceDataRepaint();
    }
    emit initCompletedChanged(arg);
}

// ---------------------------------------------------------------------------
// Help, server status, licence and manual

void CProg2Gui::updateHelp()
{
    switch (m_SysState) {
    case SysStateInit:
        m_HelpId = HelpConnectStick;
        break;
    case SysStateIdle:
        m_HelpId = HelpConnectStick;
        if (isStickConnected()) {
            switch (m_StickInterface->nwkState()) {
            case StickInterface::eNwkStateDisconnected:
            case StickInterface::eNwkStateDiscovering:
                m_HelpId = HelpJoinNetwork;
                break;
            case StickInterface::eNwkStateDiscoveryFailed:
                m_HelpId = HelpJoinFailed;
                break;
            case StickInterface::eNwkStateJoined:
                m_HelpId = HelpReadyForUpdate;
                break;
            default:
                break;
            }
        }
        break;
    case SysStateDeviceUpdate:
        m_HelpId = HelpDeviceUpdate;
        break;
    case SysStateStickUpdate:
        m_HelpId = HelpStickUpdate;
        break;
    case SysStateProgUpdate:
        m_HelpId = HelpToolUpdate;
        break;
    default:
        m_HelpId = HelpNone;
        LOG(lcBridge, QString("wrong sys state: %1").arg(int(m_SysState)));
        break;
    }
    emit helpBoxHelperChanged(QString());
}

QString CProg2Gui::getHelpText() const
{
    switch (m_HelpId) {
    case HelpNone:
        return QString();
    case HelpConnectStick:
        return QString("<table><tr>") + "<td><img src=\"qrc:/pic/help_action.png\"></td>" +
               "<td><h1> 1. </h1></td><td>" + tr("Connect a Lumoran USB stick with a computer.") +
               "<br/><br/><img src=\"qrc:/pic/help_stick.png\"></td>" + "<td><h1> 2. </h1></td><td>" +
               tr("Select the device software to be updated from the list.") + "<br><br>" +
               tr("Actuate the <em>\"Download\"</em> button.") + "</td>" + "</tr></table>";
    case HelpJoinNetwork:
        return QString("<table><tr>") + "<td><img src=\"qrc:/pic/help_action.png\"></td><td>" +
               tr("Grant the USB stick access to the ZigBee network.") + "<br><br>" + tr("Proceed as follows:") +
               "</td><td><h1> 1. </h1></td><td>" +
               tr("Press both buttons of the top rocker on a control element and keep it pressed to open the "
                  "network.") +
               "<br><br>" + tr("- The LEDs flash alternately. The LEDs light up permanently after approx. 5 seconds.") +
               "<br/><br/><img src=\"qrc:/pic/help_press_two.png\"></td><td><h1> 2. </h1></td><td>" +
               tr("Release both buttons of the top rocker. Briefly press the right button of the top rocker "
                  "again.") +
               "<br><br>" + tr("- The status LEDs of the top rocker flash. The network is now open for 2 minutes.") +
               "<br/><br/><img src=\"qrc:/pic/help_press_one.png\"></td><td><img "
               "src=\"qrc:/pic/help_hint.png\"></td><td>" +
               tr("The Lumoran USB stick and the ZLL control elements communicate wirelessly. The transmission "
                  "range depends on the structural conditions.") +
               "</td>" + "</tr></table>";
    case HelpJoinFailed:
        return QString("<table><tr>") + "<td><img src=\"qrc:/pic/help_hint.png\"></td><td>" +
               tr("The Lumoran USB stick was not able to enter a ZLL network.") + "<br><br>" +
               tr("Actuate the <em>\"Join new network\"</em> button again.") + "</td>" + "</tr></table>";
    case HelpReadyForUpdate:
        return QString("<table><tr>") + "<td><img src=\"qrc:/pic/help_action.png\"></td><td>" +
               tr("Start the update of the ZLL devices.") + "<br><br>" + tr("Proceed as follows:") +
               "</td><td><h1> 1. </h1></td><td>" +
               tr("Activate all battery-operated control elements one after the other.") + "<br><br>" +
               tr("Briefly press both buttons of the top rocker.") +
               "<br/><br/><img src=\"qrc:/pic/help_press_two.png\"></td>" + "</td><td><h1> 2. </h1></td><td>" +
               tr("Actuate the <em>\"Update Devices\"</em> button.") +
               "<td><img src=\"qrc:/pic/help_hint.png\"></td><td>" +
               tr("The update can be started even if all devices are not yet displayed.") + "<br><br>" +
               tr("It can take up to 25 minutes until all devices of a network are displayed.") + "<br><br>" +
               tr("If battery operated control elements are not displayed, the cause could be a low capacity of "
                  "the battery. Please replace the battery.") +
               "</td>" + "</tr></table>";
    case HelpStickUpdate:
        return QString("<table><tr>") + "<td><img src=\"qrc:/pic/help_wait.png\"></td><td>" +
               tr("Wait until stick is updated. This may take several minutes.") + "</td>" + "</tr></table>";
    case HelpDeviceUpdate:
        return QString("<table><tr>") + "<td><img src=\"qrc:/pic/help_wait.png\"></td><td>" +
               tr("<b>Wait until all devices are updated.</b>") + "<br><br>" +
               tr("The remaining update time will be displayed under the device window.") + "</td>" + "</tr></table>";
    case HelpToolUpdate:
        return QString("<table><tr>") + "<td><img src=\"qrc:/pic/help_wait.png\"></td><td>" +
               tr("Wait until the tool is updated. The tool will be closed and restarted automatically.") + "</td>" +
               "</tr></table>";
    default:
        return QString("wrong help Id %1").arg(m_HelpId);
    }
}

QString CProg2Gui::serverStatusText(int _errorCode, ProgressHelper::_eResult_t _result, UpdateXmlState_t _state)
{
    if (_errorCode != 0) {
        if (_errorCode == 99) // QNetworkReply::UnknownNetworkError
            return tr("No connection to update server");
        if (_errorCode == 203) // QNetworkReply::ContentNotFoundError
            return tr("Update information not available on server");
        return tr("Error during downloading update information");
    }
    if (_result == ProgressHelper::eResultAuthFail)
        return tr("Could not authentificate update information");
    if (_result == ProgressHelper::eResultSuccess)
        return tr("Update server contacted");
    if (_state == eUpdateXmlStateTimeout)
        return tr("Server does not respond");
    if (_state == eUpdateXmlStateWrong)
        return tr("Update information not valid on server");
    return tr("Contacting server...");
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
    const QString folder = QDir(applDir() + "/licence").absolutePath();
    QString shortCut = getLangShortCut(m_lang);
    if (shortCut.isEmpty())
        shortCut = kDefaultShortCut;
    QString path = QString("%1/licence_%2.txt").arg(folder, shortCut);
    if (!QFile::exists(path))
        path = QString("%1/licence_en_GB.txt").arg(folder);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QString text;
    QTextStream stream(&file);
    // The end of the file adds one more line break.
    for (;;) {
        const QString line = stream.readLine();
        text += line + "\n";
        if (line.isNull())
            break;
    }
    file.close();
    return text;
}

QString CProg2Gui::localFileUrl(const QString& _path)
{
    // "file:///" + path is right for drive paths only; a path that starts
    // with a slash would get one slash too many.
    if (_path.startsWith('/'))
        return QUrl::fromLocalFile(_path).toString();
    return "file:///" + _path;
}

void CProg2Gui::OpenHelp()
{
    const QString folder = QDir(applDir() + "/help").absolutePath();
    const QString shortCut = getLangShortCut(m_lang);
    const QString path =
        QString("%1/Help_%2.pdf").arg(folder, shortCut.isEmpty() ? QString(kDefaultShortCut) : shortCut);
    if (!QFile::exists(path)) {
        LOG(lcBridge, QString("missing helpfile: lang '%1', shortCut '%2', helpFile '%3'").arg(m_lang, shortCut, path));
        return;
    }
    const QString url = localFileUrl(path);
    LOG(lcBridge, QString("oen helpfile: lang '%1', shortCut '%2', helpFile '%3'").arg(m_lang, shortCut, url));
    QDesktopServices::openUrl(QUrl(url));
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
