#include "StickInterface.h"

#include "FrameCodec.h"
#include "common/RunState.h"
#include "common/log.h"
#include "devices/ZigBeeDeviceModel.h"

using namespace OtaRecords;

StickInterface::StickInterface(FirmwareCatalog& _catalog, ZigBeeDeviceModel& _devices, RunState& _runState,
                               QObject* parent)
    : QObject(parent), m_devices(_devices), m_runState(_runState), m_otaServer(_catalog, _devices, _runState)
{
    init();
}

void StickInterface::init()
{
    CONNECT_OR_LOG(lcLink, &m_serialPortHandler, &CSerialPortHandler::receivedFrame, this, &StickInterface::rxFrame);
    CONNECT_OR_LOG(lcLink, &m_serialPortHandler, &CSerialPortHandler::stateChanged, this,
                   &StickInterface::serialPortStateChanged);
    CONNECT_OR_LOG(lcLink, &m_otaServer, &OtaServer::reply, this, &StickInterface::sendZclReply);
    CONNECT_OR_LOG(lcLink, &m_otaServer, &OtaServer::stickVersionAvailable, this,
                   &StickInterface::stickVersionAvailable);
    CONNECT_OR_LOG(lcLink, &m_otaServer, &OtaServer::stickTextChanged, this,
                   [this] { emit textChanged(StickVersionTxt); });
    CONNECT_OR_LOG(lcLink, &m_otaServer, &OtaServer::helpUpdateRequired, this, &StickInterface::helpUpdateRequired);
    m_stickDevType = 0xFFFF;
}

ZigBeeDeviceModel* StickInterface::deviceModel() const
{
    return &m_devices;
}

bool StickInterface::isStickUpdateRunning() const
{
    return m_runState.is(SystemServices::SysStateStickUpdate);
}

bool StickInterface::isLinkConnected() const
{
    return m_serialPortHandler.state() == CSerialPortHandler::eStateConnected;
}

void StickInterface::setStickUpdateInfo(unsigned int _version, QString _fileName)
{
    m_otaServer.stickUpdate().setUpdateInfo(_version, _fileName);
}

// ---------------------------------------------------------------------------
// Link and protocol

void StickInterface::rxFrame(QByteArray _rFrame)
{
    if (_rFrame.isEmpty())
        return;
    switch (quint8(_rFrame.at(0))) {
    case ConnectRequest:
        LOG(lcLink, "ConnectRequest found");
        m_otaServer.stickUpdate().heard();
        m_serialPortHandler.setState(CSerialPortHandler::eStateConnected);
        sendConnectAccept();
        m_lastRxSeq = 0;
        emit textChanged(StickVersionTxt);
        emit helpUpdateRequired();
        break;
    case CommandRequest:
        if (isLinkConnected())
            rxCmd(_rFrame);
        break;
    default:
        LOG(lcLink, QString("unknown frame:  %1 bytes '%2'")
                        .arg(_rFrame.size())
                        .arg(byteArrayToHex(_rFrame, FrameCodec::kMaxLoggedBytes)));
        break;
    }
}

void StickInterface::sendConnectAccept()
{
    m_otaServer.stickUpdate().stickConnected(isStickUpdateRunning());
    QByteArray body;
    appendU8(body, ConnectAccept);
    LOG(lcLink, QString("sendConnectAccept: %1 bytes '%2'")
                    .arg(body.size())
                    .arg(byteArrayToHex(body, FrameCodec::kMaxLoggedBytes)));
    sendReply(body);
}

void StickInterface::rxCmd(QByteArray _frame)
{
    if (_frame.size() < 3) {
        LOG(lcLink, "WRONG CommandRequest found");
        return;
    }
    const quint8 seq = quint8(_frame.at(1));
    if (seq == m_lastRxSeq) {
        // A repetition: the stick did not get our reply. An unanswered request
        // stays unanswered.
        if (!m_lastTxFrame.isEmpty())
            sendReply(m_lastTxFrame);
        return;
    }
    m_lastRxSeq = seq;
    // The stored reply belongs to the previous sequence number; from here on
    // only a reply to this request may be repeated.
    m_lastTxFrame.clear();

    const quint8 code = quint8(_frame.at(2));
    const QByteArray payload = _frame.mid(3);
    switch (code) {
    case ResetToFNReq:
        sendResetToFNReply(seq);
        m_resetToFN = false;
        break;
    case NwkStatusReq:
        rxNwkStatusReq(seq, payload);
        break;
    case ZclIndication:
        rxZclIndication(seq, payload);
        break;
    default:
        LOG(lcLink, QString("unknown command: %1 bytes '%2'")
                        .arg(_frame.size())
                        .arg(byteArrayToHex(_frame, FrameCodec::kMaxLoggedBytes)));
        break;
    }
}

void StickInterface::sendResetToFNReply(unsigned char _seq)
{
    QByteArray body;
    appendU8(body, CommandReply);
    appendU8(body, _seq);
    appendU8(body, m_resetToFN ? 0x01 : 0x00);
    sendReply(body);
}

void StickInterface::sendEmptyReply(unsigned char _seq)
{
    QByteArray body;
    appendU8(body, CommandReply);
    appendU8(body, _seq);
    LOG(lcLink,
        QString("empty reply: %1 bytes '%2'").arg(body.size()).arg(byteArrayToHex(body, FrameCodec::kMaxLoggedBytes)));
    sendReply(body);
}

void StickInterface::sendZclReply(unsigned char _seq, const QByteArray& _payload)
{
    QByteArray body;
    body.reserve(3 + _payload.size());
    appendU8(body, CommandReply);
    appendU8(body, _seq);
    appendU8(body, ZclIndication);
    body.append(_payload);
    sendReply(body);
}

void StickInterface::sendReply(QByteArray _body)
{
    m_lastTxFrame = _body;
    m_serialPortHandler.sendFrame(_body);
    emit frameSent(_body);
}

void StickInterface::rxNwkStatusReq(unsigned char _seq, const QByteArray _payload)
{
    LOG(lcLink, QString("network status: %1 bytes '%2'")
                    .arg(_payload.size())
                    .arg(byteArrayToHex(_payload, FrameCodec::kMaxLoggedBytes)));
    _NwkStatus_t status;
    if (!status.readFrom(_payload)) {
        LOG(lcLink,
            QString("WRONG network status: %1 bytes, %2 expected").arg(_payload.size()).arg(_NwkStatus_t::kSize));
        return;
    }

    m_nwkState = status.nwkState;
    m_nwkChannel = status.channel;
    m_nwkShortAddr = status.shortAddr;
    m_otaServer.stickUpdate().setNetwork(m_nwkState == eNwkStateJoined, m_nwkShortAddr);
    if (status.nwkId != m_nwkId) {
        // Another network: the devices heard so far belong to the old one.
        const bool known = m_firstNwkStatusSeen;
        m_nwkId = status.nwkId;
        forgetDevices();
        if (known) {
            LOG(lcLink, "network changed");
            emit networkChanged();
        }
    }
    sendEmptyReply(_seq);

    if (!m_firstNwkStatusSeen) {
        m_firstNwkStatusSeen = true;
        if (m_nwkState == eNwkStateDiscoveryFailed) {
            m_resetToFN = true;
            forgetDevices();
        }
    }
    emit stickVersionAvailable();
    emit helpUpdateRequired();
    emit deviceDataRepaint();
}

void StickInterface::rxZclIndication(unsigned char _seq, const QByteArray _payload)
{
    _IsdCommandIndication_t ind;
    if (!ind.readFrom(_payload)) {
        LOG(lcLink, QString("WRONG cmd indication: %1 bytes '%2'")
                        .arg(_payload.size())
                        .arg(byteArrayToHex(_payload, FrameCodec::kMaxLoggedBytes)));
        return;
    }
    switch (ind.commandId) {
    case QueryNextImageReqId:
        m_otaServer.ZclQueryNextImageReq(_seq, _payload);
        break;
    case ImageBlockReqId:
        m_otaServer.ZclImageBlockReq(_seq, _payload);
        break;
    case UpgradeEndReqId:
        m_otaServer.ZclUpgradeEndReq(_seq, _payload);
        break;
    default:
        LOG(lcLink,
            QString("UNKNOWN cmd id; cmd indication: srcAddrMode %1, srcShortAddress %2, srcExtAddress '%3', "
                    "srcProfileId %4, srcEndpointId %5, srcClusterId %6, clusterId %7, direction %8, commandId %9")
                .arg(hexDigits(ind.srcAddrMode, 2), hexDigits(ind.srcShortAddress, 4),
                     byteArrayToHex(ind.extAddressBytes()), hexDigits(ind.srcProfileId, 4),
                     hexDigits(ind.srcEndpointId, 2), hexDigits(ind.srcClusterId, 4), hexDigits(ind.clusterId, 4),
                     hexDigits(ind.direction, 2), hexDigits(ind.commandId, 2)));
        break;
    }
}

void StickInterface::serialPortStateChanged()
{
    if (isLinkConnected()) {
        m_otaServer.stickUpdate().linkUp(isStickUpdateRunning());
        LOG(lcLink, "stick connected");
    } else {
        m_nwkState = eNwkStateUnknown;
        m_nwkChannel = 0;
        m_nwkShortAddr = 0;
        emit helpUpdateRequired();
    }
    emit textChanged(StickVersionTxt);
    emit stickVersionAvailable();
    emit deviceDataRepaint();
}

void StickInterface::textChangeSlot(int _txtId)
{
    emit textChanged(_txtId);
    emit stickVersionAvailable();
}

void StickInterface::requestResetToFN()
{
    m_resetToFN = true;
    forgetDevices();
}

void StickInterface::forgetDevices()
{
    // No device of the old network may stay in the update list: it would
    // keep every other device waiting and never time out.
    m_otaServer.forgetDevices();
    if (ZigBeeDeviceModel* model = deviceModel())
        model->clear();
}

// ---------------------------------------------------------------------------
// Display texts

QString StickInterface::getText(int _txtId)
{
    switch (_txtId) {
    case StickVersionTxt:
        return stickVersionText();
    case StickConnectStateTxt:
        return connectStateText();
    case ConnectedNetworkStatusTxt:
        return networkStatusText();
    case StickUpdateDoneImg:
        if (stickUpdateState() == StickImageUpdate::eStickUpdateStateSuccess)
            return QStringLiteral("qrc:/pic/checkmark.png");
        if (stickUpdateState() == StickImageUpdate::eStickUpdateStateFail)
            return QStringLiteral("qrc:/pic/error.png");
        return QString();
    default: {
        const QString text = QString("wrong txt Id %1").arg(_txtId);
        LOG(lcLink, text);
        return text;
    }
    }
}

QString StickInterface::connectStateText() const
{
    switch (m_serialPortHandler.state()) {
    case CSerialPortHandler::eStateSearching:
        // A port that may not be opened is no missing stick.
        if (m_serialPortHandler.openProblem() == CSerialPortHandler::eOpenProblemNoAccess)
            return tr("no access");
        if (m_serialPortHandler.openProblem() == CSerialPortHandler::eOpenProblemInUse)
            return tr("in use");
        return tr("searching stick...");
    case CSerialPortHandler::eStateConnected:
        return tr("connected");
    case CSerialPortHandler::eStateConnectionLost:
        return tr("connection lost");
    case CSerialPortHandler::eStateError:
        return tr("error");
    default:
        return tr("unknown");
    }
}

QString StickInterface::networkStatusText() const
{
    if (!isLinkConnected())
        return tr("unknown");
    switch (m_nwkState) {
    case eNwkStateDisconnected:
        return tr("disconnected");
    case eNwkStateDiscovering:
        return tr("discovering...");
    case eNwkStateDiscoveryFailed:
        return tr("discovery failed");
    case eNwkStateJoined:
        return tr("joined") + QString(" <font color=\"grey\">( %1: %2 | %3: %4 )</font>")
                                  .arg(tr("Ch", "radio channel, short"))
                                  .arg(m_nwkChannel)
                                  .arg(tr("Addr", "network address, short"))
                                  .arg(m_nwkShortAddr, 4, 16, QChar('0'));
    default:
        return tr("unknown");
    }
}

QString StickInterface::stickVersionText() const
{
    const FirmwareUpdate& stick = stickFirmware();
    const int state = stickUpdateState();
    const QString current = stick.versionString();
    if (!isLinkConnected() || current.isEmpty() || state == StickImageUpdate::eStickUpdateStateUnknown)
        return tr("unknown");
    if (state == StickImageUpdate::eStickUpdateStateFail)
        return versionChangeHtml(current, "blue", stick.updateVersionString(), "green", "black",
                                 " " + tr("Verification failed", "stick update result"));
    if (stick.updateVersion() > stick.m_version)
        return versionChangeHtml(current, "blue", stick.updateVersionString(), "green", "black", "");
    return versionPrefixed(current);
}
