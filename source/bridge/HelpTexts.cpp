#include "HelpTexts.h"

#include <QFile>
#include <QTextStream>
#include <QUrl>

#include "CProg2Gui.h"
#include "common/common.h"
#include "common/log.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"

int HelpTexts::helpIdFor(SystemServices::SysState_t _state, bool _stickConnected, int _nwkState, int _openProblem)
{
    // The stick cannot connect until the user has seen to the port.
    const int withoutStick = _openProblem == CSerialPortHandler::eOpenProblemNoAccess ? CProg2Gui::HelpPortNoAccess
                             : _openProblem == CSerialPortHandler::eOpenProblemInUse  ? CProg2Gui::HelpPortInUse
                                                                                      : CProg2Gui::HelpConnectStick;
    switch (_state) {
    case SystemServices::SysStateInit:
        return withoutStick;
    case SystemServices::SysStateIdle:
        if (!_stickConnected)
            return withoutStick;
        switch (_nwkState) {
        case StickInterface::eNwkStateDisconnected:
        case StickInterface::eNwkStateDiscovering:
            return CProg2Gui::HelpJoinNetwork;
        case StickInterface::eNwkStateDiscoveryFailed:
            return CProg2Gui::HelpJoinFailed;
        case StickInterface::eNwkStateJoined:
            return CProg2Gui::HelpReadyForUpdate;
        default:
            return CProg2Gui::HelpConnectStick;
        }
    case SystemServices::SysStateDeviceUpdate:
        return CProg2Gui::HelpDeviceUpdate;
    case SystemServices::SysStateStickUpdate:
        return CProg2Gui::HelpStickUpdate;
    case SystemServices::SysStateProgUpdate:
        return CProg2Gui::HelpToolUpdate;
    default:
        return CProg2Gui::HelpNone;
    }
}

QString HelpTexts::text(int _helpId, bool _networkChanged)
{
    switch (_helpId) {
    case CProg2Gui::HelpNone:
        return QString();
    case CProg2Gui::HelpConnectStick:
        return connectStick();
    case CProg2Gui::HelpJoinNetwork:
        return joinNetwork();
    case CProg2Gui::HelpJoinFailed:
        return joinFailed();
    case CProg2Gui::HelpReadyForUpdate:
        return readyForUpdate();
    case CProg2Gui::HelpStickUpdate:
        return stickUpdate();
    case CProg2Gui::HelpDeviceUpdate:
        return deviceUpdate(_networkChanged);
    case CProg2Gui::HelpToolUpdate:
        return toolUpdate();
    default:
        return QString("wrong help Id %1").arg(_helpId);
    }
}

QString HelpTexts::connectStick()
{
    return QString("<table><tr>") + "<td>" + pictureHtml("help_action") + "</td>" + "<td><h1> 1. </h1></td><td>" +
           tr("Connect a Lumoran USB stick with a computer.") + "<br/><br/>" + pictureHtml("help_stick") + "</td>" +
           "<td><h1> 2. </h1></td><td>" + tr("Select the device software to be updated from the list.") + "<br><br>" +
           tr("Actuate the <em>\"Download\"</em> button.") + "</td>" + "</tr></table>";
}

QString HelpTexts::joinNetwork()
{
    return QString("<table><tr>") + "<td>" + pictureHtml("help_action") + "</td><td>" +
           tr("Grant the USB stick access to the ZigBee network.") + "<br><br>" + tr("Proceed as follows:") +
           "</td><td><h1> 1. </h1></td><td>" +
           tr("Press both buttons of the top rocker on a control element and keep it pressed to open the "
              "network.") +
           "<br><br>" + tr("- The LEDs flash alternately. The LEDs light up permanently after approx. 5 seconds.") +
           "<br/><br/>" + pictureHtml("help_press_two") + "</td><td><h1> 2. </h1></td><td>" +
           tr("Release both buttons of the top rocker. Briefly press the right button of the top rocker "
              "again.") +
           "<br><br>" + tr("- The status LEDs of the top rocker flash. The network is now open for 2 minutes.") +
           "<br/><br/>" + pictureHtml("help_press_one") + "</td><td>" + pictureHtml("help_hint") + "</td><td>" +
           tr("The Lumoran USB stick and the ZLL control elements communicate wirelessly. The transmission "
              "range depends on the structural conditions.") +
           "</td>" + "</tr></table>";
}

QString HelpTexts::joinFailed()
{
    return QString("<table><tr>") + "<td>" + pictureHtml("help_hint") + "</td><td>" +
           tr("The Lumoran USB stick was not able to enter a ZLL network.") + "<br><br>" +
           tr("Actuate the <em>\"Join new network\"</em> button again.") + "</td>" + "</tr></table>";
}

QString HelpTexts::readyForUpdate()
{
    return QString("<table><tr>") + "<td>" + pictureHtml("help_action") + "</td><td>" +
           tr("Start the update of the ZLL devices.") + "<br><br>" + tr("Proceed as follows:") +
           "</td><td><h1> 1. </h1></td><td>" +
           tr("Activate all battery-operated control elements one after the other.") + "<br><br>" +
           tr("Briefly press both buttons of the top rocker.") + "<br/><br/>" + pictureHtml("help_press_two") +
           "</td>" + "</td><td><h1> 2. </h1></td><td>" + tr("Actuate the <em>\"Update Devices\"</em> button.") +
           "<td>" + pictureHtml("help_hint") + "</td><td>" +
           tr("The update can be started even if all devices are not yet displayed.") + "<br><br>" +
           tr("It can take up to 25 minutes until all devices of a network are displayed.") + "<br><br>" +
           tr("If battery operated control elements are not displayed, the cause could be a low capacity of "
              "the battery. Please replace the battery.") +
           "</td>" + "</tr></table>";
}

QString HelpTexts::stickUpdate()
{
    return QString("<table><tr>") + "<td>" + pictureHtml("help_wait") + "</td><td>" +
           tr("Wait until stick is updated. This may take several minutes.") + "</td>" + "</tr></table>";
}

QString HelpTexts::deviceUpdate(bool _networkChanged)
{
    QString note;
    if (_networkChanged)
        note = "<br><br>" + tr("The USB stick has changed to another ZigBee network. Its devices are searched and "
                               "updated anew.");
    return QString("<table><tr>") + "<td>" + pictureHtml("help_wait") + "</td><td>" +
           tr("<b>Wait until all devices are updated.</b>") + "<br><br>" +
           tr("The remaining update time will be displayed under the device window.") + note + "</td>" +
           "</tr></table>";
}

QString HelpTexts::toolUpdate()
{
    return QString("<table><tr>") + "<td>" + pictureHtml("help_wait") + "</td><td>" +
           tr("Wait until the tool is updated. The tool will be closed and restarted automatically.") + "</td>" +
           "</tr></table>";
}

QString HelpTexts::portProblem(int _helpId, const QString& _port, const QString& _group, const QString& _user)
{
    const QString port = "<i>" + _port.toHtmlEscaped() + "</i>";
    QString text;
    if (_helpId == CProg2Gui::HelpPortInUse) {
        text = "<b>" + tr("Another program is using the port %1 of the USB stick.").arg(port) + "</b><br><br>" +
               tr("Close the other program (a terminal program, another copy of this tool). The tool connects to "
                  "the stick as soon as the port is free.");
    } else if (!_group.isEmpty()) {
        const QString command =
            QString("sudo usermod -a -G %1 %2").arg(_group, _user.isEmpty() ? QString("$USER") : _user);
        text = "<b>" + tr("You may not use the port %1 of the USB stick.").arg(port) + "</b><br><br>" +
               tr("The port belongs to the group <i>%1</i>. Add your user to this group with the following command "
                  "in a terminal, then log out and log in again:")
                   .arg(_group.toHtmlEscaped()) +
               "<br><br><tt>" + command.toHtmlEscaped() + "</tt>";
    } else {
        text = "<b>" + tr("You may not use the port %1 of the USB stick.").arg(port) + "</b><br><br>" +
               tr("Ask the administrator of this computer for read and write access to the port.");
    }
    return QString("<table><tr>") + "<td>" + pictureHtml("help_fail") + "</td><td>" + text + "</td>" + "</tr></table>";
}

QString HelpTexts::reportNotWritten(const QString& _path)
{
    return QString("<table><tr>") + "<td>" + pictureHtml("help_fail") + "</td><td>" +
           tr("The report of the last update could not be written to <i>%1</i>.").arg(_path.toHtmlEscaped()) +
           "<br><br>" + tr("The update itself is not affected. Check that this folder can be written to.") + "</td>" +
           "</tr></table>";
}

QString HelpTexts::serverStatusText(int _errorCode, ProgressHelper::_eResult_t _result,
                                    SystemServices::UpdateXmlState_t _state)
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
    if (_state == SystemServices::eUpdateXmlStateOutdated)
        return tr("Update information outdated");
    if (_state == SystemServices::eUpdateXmlStateTimeout)
        return tr("Server does not respond");
    if (_state == SystemServices::eUpdateXmlStateWrong)
        return tr("Update information not valid on server");
    return tr("Contacting server...");
}

QString HelpTexts::licenceText(const QString& _folder, const QString& _shortCut)
{
    QString path = QString("%1/licence_%2.txt").arg(_folder, _shortCut);
    if (!QFile::exists(path))
        path = QString("%1/licence_en_GB.txt").arg(_folder);

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

QString HelpTexts::localFileUrl(const QString& _path)
{
    // "file:///" + path is right for drive paths only; a path that starts
    // with a slash would get one slash too many.
    if (_path.startsWith('/'))
        return QUrl::fromLocalFile(_path).toString();
    return "file:///" + _path;
}

QString HelpTexts::manualPath(const QString& _folder, const QString& _shortCut, const QString& _lang)
{
    const QString path = QString("%1/Help_%2.pdf").arg(_folder, _shortCut.isEmpty() ? QString("en_GB") : _shortCut);
    if (!QFile::exists(path))
        LOG(lcBridge, QString("missing helpfile: lang '%1', shortCut '%2', helpFile '%3'").arg(_lang, _shortCut, path));
    else
        LOG(lcBridge,
            QString("oen helpfile: lang '%1', shortCut '%2', helpFile '%3'").arg(_lang, _shortCut, localFileUrl(path)));
    return path;
}
