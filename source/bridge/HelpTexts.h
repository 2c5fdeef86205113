#pragma once

#include <QCoreApplication>
#include <QString>

#include "common/ProgressHelper.h"
#include "common/SystemServices.h"

// What the help box says in each situation, the licence text and the URL of
// a local document. The texts are translated in the bridge's context, where
// the window has always found them.
class HelpTexts
{
    Q_DECLARE_TR_FUNCTIONS(CProg2Gui)

public:
    // The help for a system state, the stick's link and its network state
    // (CProg2Gui::HelpId_t); HelpNone for a state that has none.
    // Without a stick, a port the search could not open
    // (CSerialPortHandler::OpenProblem_t) has a help of its own.
    static int helpIdFor(SystemServices::SysState_t _state, bool _stickConnected, int _nwkState, int _openProblem = 0);
    // The rich text of a help id; empty for HelpNone. _networkChanged: the
    // stick joined another network during the running device update.
    static QString text(int _helpId, bool _networkChanged = false);

    // What to do about a port that may not be opened (HelpPortNoAccess) or
    // that another program holds (HelpPortInUse): _port its device file,
    // _group the group that owns it (empty when unknown), _user the user.
    static QString portProblem(int _helpId, const QString& _port, const QString& _group, const QString& _user);

    // The server status line for a downloader error code, an index result and an index state.
    static QString serverStatusText(int _errorCode, ProgressHelper::_eResult_t _result,
                                    SystemServices::UpdateXmlState_t _state);

    // Shown above the help while the latest run report could not be written
    // to _path.
    static QString reportNotWritten(const QString& _path);

    // The licence of _shortCut in _folder ("licence_<shortCut>.txt"), else
    // the English one; empty when neither can be read.
    static QString licenceText(const QString& _folder, const QString& _shortCut);
    // The URL under which the desktop opens a local file.
    static QString localFileUrl(const QString& _path);
    // The manual "Help_<shortCut>.pdf" of _folder (the English one for an
    // empty short cut), also when it is missing, which is logged. _lang is
    // the language's name, for the log.
    static QString manualPath(const QString& _folder, const QString& _shortCut, const QString& _lang);

private:
    static QString connectStick();
    static QString joinNetwork();
    static QString joinFailed();
    static QString readyForUpdate();
    static QString stickUpdate();
    static QString deviceUpdate(bool _networkChanged);
    static QString toolUpdate();
};
