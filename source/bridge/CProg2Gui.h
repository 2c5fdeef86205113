#pragma once

#include <memory>

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include "bridge/RunReport.h"
#include "bridge/ToolCore.h"
#include "bridge/ToolUpdater.h"
#include "common/FileVersionInfo.h"
#include "common/ProgressHelper.h"
#include "common/RunState.h"
#include "common/SystemServices.h"
#include "content/AuthFileDownloader.h"
#include "content/BackupIni.h"

class FirmwareUpdateFileModel;
class LanguageList;
class StickInterface;
class ZigBeeDeviceModel;

// The one object the window talks to: its adapter over the tool's core
// (ToolCore), which main() builds before the window and hands over through
// ToolCore::instance(); without one the adapter builds a core of its own.
//
// The window reads values and texts by numeric id and reports clicks as
// numeric actions, so the enumerations below and the order of the signals,
// slots and invokable methods are part of the window's interface: new
// members that the window does not use must not be signals, slots or
// invokables.
class CProg2Gui : public SystemServices
{
    Q_OBJECT
    Q_PROPERTY(QString lang READ lang WRITE setLang NOTIFY langChanged)
    Q_PROPERTY(QString translateHelper READ translateHelper WRITE setTranslateHelper NOTIFY translateHelperChanged)
    Q_PROPERTY(
        QString stickRefreshHelper READ stickRefreshHelper WRITE setStickRefreshHelper NOTIFY stickRefreshHelperChanged)
    Q_PROPERTY(QString helpBoxHelper READ helpBoxHelper WRITE setHelpBoxHelper NOTIFY helpBoxHelperChanged)
    Q_PROPERTY(bool helperFlag READ helperFlag WRITE setHelperFlag NOTIFY helperFlagChanged)
    Q_PROPERTY(bool initCompleted READ initCompleted WRITE setInitCompleted NOTIFY initCompletedChanged)
    Q_PROPERTY(QObject* langListModel READ langListModelObject CONSTANT)
    Q_PROPERTY(QObject* firmwareUpdateFileModel READ firmwareUpdateFileModelObject CONSTANT)
    Q_PROPERTY(QObject* zigBeeDeviceModel READ zigBeeDeviceModelObject CONSTANT)

public:
    enum Highlight_t
    {
        HighlightNone = 0,
        HighlightApplication = 1,
        HighlightStickUpdate = 2,
        HighlightFileDownload = 3,
        HighlightDeviceUpdate = 4,
    };
    Q_ENUM(Highlight_t)

    enum QmlAction_t
    {
        StartFileDownload_QmlAction = 1,
        StartDeviceUpdate_QmlAction = 2,
        AbortDeviceUpdate_QmlAction = 3,
        OpenHelp_QmlAction = 4,
        DoToolUpdate_QmlAction = 5,
        DoStickUpdate_QmlAction = 6,
        ResetToFN_QmlAction = 10,
        CommonFileSelector_QmlAction = 20,
        OpenReport_QmlAction = 21,
        // The folder of the document that no program opened.
        OpenFolder_QmlAction = 22,
    };
    Q_ENUM(QmlAction_t)

    enum ValId_t
    {
        StickVersionTxt_ValId = 11,
        StickConnectStateTxt_ValId = 12,
        ConnectedNetworkStatus_ValId = 13,
        LangCount_ValId = 20,
        LangIndex_ValId = 21,
        ApplName_ValId = 25,
        ApplVersion_ValId = 26,
        ApplCopyright_ValId = 27,
        ApplActVersion_ValId = 28,
        ApplLicence_ValId = 29,
        StickUpdateProgressVisible_ValId = 30,
        StickUpdateProgress_ValId = 31,
        StickUpdateDoneImg_ValId = 32,
        StickUpdateAvailable_ValId = 41,
        FirmwareSelectState_ValId = 50,
        ServerErrorTxt_ValId = 51,
        DeviceCombinedProgressVisible_ValId = 70,
        DeviceCombinedProgressPercent_ValId = 71,
        DeviceCombinedProgressText_ValId = 72,
        DeviceCountTxt_ValId = 73,
        DeviceUpdateButton_ValId = 100,
        DeviceAbortButton_ValId = 101,
        FileUpdateButton_ValId = 102,
        StickUpdateButtonEnabled_ValId = 103,
        StickJoinNewNwButtonEnabled_ValId = 104,
        ApplUpdateButton_ValId = 105,
        HelpBoxTxt_ValId = 1000,
        ReportButton_ValId = 1001,
    };
    Q_ENUM(ValId_t)

    // Help texts by situation; see updateHelp().
    enum HelpId_t
    {
        HelpNone = 1000,
        HelpConnectStick = 1001,
        HelpJoinNetwork = 1002,
        HelpJoinFailed = 1003,
        HelpReadyForUpdate = 1004,
        HelpStickUpdate = 1005,
        HelpDeviceUpdate = 1006,
        HelpToolUpdate = 1007,
        HelpPortNoAccess = 1008,
        HelpPortInUse = 1009,
    };

    static constexpr int kUpdateXmlTimeoutMs = ToolCore::kUpdateXmlTimeoutMs;

    explicit CProg2Gui(QObject* parent = nullptr);
    ~CProg2Gui() override;

    // Property readers. The three helper strings only trigger re-evaluation
    // of the window's bindings and always read empty.
    QString lang() const { return m_lang; }
    QString translateHelper() const { return QString(); }
    QString stickRefreshHelper() const { return QString(); }
    QString helpBoxHelper() const { return QString(); }
    bool helperFlag() const { return m_helperFlag; }
    bool initCompleted() const { return m_initCompleted; }
    QObject* langListModelObject() const;
    QObject* firmwareUpdateFileModelObject() const;
    QObject* zigBeeDeviceModelObject() const;

signals:
    void langChanged(QString arg);
    void translateHelperChanged(QString arg);
    void stickRefreshHelperChanged(QString arg);
    void helpBoxHelperChanged(QString arg);
    void helperFlagChanged(bool arg);
    void initCompletedChanged(bool arg);
    void applDataRepaint();
    void stickDataRepaint();
    void firmwareDataRepaint();
    void deviceDataRepaint();
    void sysStateChanged();
    void quitApplication();
    void displayErrorWindow(QVariant value);

public slots:
    void setLang(QString arg);
    void setTranslateHelper(QString arg);
    void setStickRefreshHelper(QString arg);
    void setHelpBoxHelper(QString arg);
    void setHelperFlag(bool arg);
    void setInitCompleted(bool arg);
    void processUpdateXml();
    void processAuthFailed();
    void failedUpdateXml();
    void timeoutUpdateXml();
    void textChanged(int);
    QString getLicenceText();
    void stickDataChangedSlot();
    void updateHelp();

public:
    Q_INVOKABLE QString getLang(int _Num);
    Q_INVOKABLE QString getText(ValId_t _TxtId);
    Q_INVOKABLE bool boGetVal(ValId_t _ValId);
    Q_INVOKABLE int iGetVal(ValId_t _ValId);
    Q_INVOKABLE void qmlAction(QmlAction_t _action);
    Q_INVOKABLE bool isHighlightState(Highlight_t _Highlight);
    Q_INVOKABLE SysState_t SysState() const { return m_core.runState().state(); }
    Q_INVOKABLE bool isSysState(SysState_t _SysState) const { return m_core.runState().is(_SysState); }

    // Puts the system into _state without the transitions; for tests and
    // tools that show the window in a given state.
    void setSysState(SysState_t _SysState);
    RunState& runState() { return m_core.runState(); }
    ToolCore& core() { return m_core; }

    // The OTA server's list of devices whose transfer is running.
    void addToUpdateList(ushort _shortAddr);
    bool isInUpdateList(ushort _shortAddr) const;
    void removeFromUpdateList(ushort _shortAddr);
    void clearUpdateList();
    const QList<ushort>& updateList() const;

    FirmwareUpdateFileModel* fileModel() const { return m_core.files(); }
    ZigBeeDeviceModel* deviceModel() const { return m_core.devices(); }
    StickInterface* stickInterface() const { return m_core.stick(); }
    UpdateXmlState_t updateXmlState() const { return m_core.updateXmlState(); }
    ProgressHelper::_eResult_t updateXmlResult() const { return m_core.updateXmlResult(); }
    QString updateXmlStateText() const;
    const AuthFileDownloader& updateXmlDownloader() const { return m_core.updateXmlDownloader(); }
    bool isUpdateXmlTimerActive() const { return m_core.isUpdateXmlTimerActive(); }
    int helpId() const { return m_HelpId; }
    const FileVersionInfo& applVersion() const { return m_core.applVersion(); }

    // A newer tool package, or newer stick firmware, has been stored in the update folder.
    void setApplUpdateInfo(unsigned int _version, QString _fileName);
    void setStickUpdateInfo(unsigned int _version, QString _fileName);

    // Hand what "production.ini" ships and what "backup.ini" holds (both
    // read and written by BackupIni) to the file list, the stick and the
    // tool's own version record; the core runs them at its start.
    void processProductionIni();
    void loadBackupIni();

    // Texts of the help box, the server status line and the manual.
    QString getHelpText() const;
    QString getServerErrorText() const;
    void OpenHelp();
    // Opens a document with the desktop's program; when there is none, or
    // the file is missing, the window's error dialog shows _problem with the
    // file's path and offers its folder (OpenFolder_QmlAction).
    void openDocument(const QString& _path, const QString& _problem);
    // The document the desktop could not open, empty when all went well.
    QString unopenedDocument() const { return m_unopenedDocument; }
    // The status line for a downloader error code, an index result and an index state.
    static QString serverStatusText(int _errorCode, ProgressHelper::_eResult_t _result, UpdateXmlState_t _state);
    // The URL under which the desktop opens a local file.
    static QString localFileUrl(const QString& _path);

    // Languages: the short cut (such as de_DE) of a display name.
    QString getLangShortCut(QString _name) const;
    const LanguageList& languages() const { return *m_Languages; }

    // The tool's self-update: writes the update script and starts it; the
    // tool quits once the script runs. A failure leaves the tool as it was
    // and is shown in the window's error dialog.
    void UpdateTool();
    ToolUpdater& toolUpdater() { return m_ToolUpdater; }
    // The report of every device update run and stick update.
    RunReport& runReport() { return m_core.runReport(); }

private:
    void connectCore();
    void initLanguageHandling();
    void emitRepaintSet();
    void runStateChanged();
    bool isStickConnected() const;
    bool isStickUpdateOffered() const;
    bool isStickUpdatePossible() const;
    Highlight_t currentHighlight() const;

    // Declared first: the core outlives every member that might reach it.
    std::unique_ptr<ToolCore> m_ownCore;
    ToolCore& m_core;
    QString m_lang;
    bool m_helperFlag = false;
    bool m_initCompleted = false;
    LanguageList* m_Languages = nullptr;
    int m_HelpId = HelpNone;
    bool m_networkChangedInRun = false;
    QString m_unopenedDocument;
    ToolUpdater m_ToolUpdater;
};

// The window's adapter, for the code of the bridge and the application; set
// while it exists. Nothing below the bridge reads it.
extern CProg2Gui* theBridge;
