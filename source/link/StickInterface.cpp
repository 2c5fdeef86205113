#include "StickInterface.h"

#include <QFile>
#include <QFileInfo>

#include "common/DeviceType.h"
#include "common/log.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"

using namespace OtaRecords;

namespace {
QString hex(quint32 _value, int _width)
{
    return QString("%1").arg(_value, _width, 16, QChar('0'));
}

QString boolText(bool _value)
{
    return _value ? QStringLiteral("true") : QStringLiteral("false");
}

// The image served for a firmware record: its plain file name in the update folder.
QString servedFilePath(const FirmwareUpdate* _record)
{
    return getUpdatePath() + "/" + QFileInfo(_record->m_fileName).fileName();
}

// Size of a file that can be served, or 0: missing, not a regular file, empty,
// or too large to describe in the 32-bit image size.
quint32 servableSize(const QFileInfo& _file)
{
    if (!_file.isFile() || _file.size() <= 0 || _file.size() > qint64(0xFFFFFFFFu))
        return 0;
    return quint32(_file.size());
}

int perMille(quint64 _done, quint64 _size)
{
    if (_size == 0)
        return 0;
    return int(qMin<quint64>(_done * 1000 / _size, 1000));
}
} // namespace

StickInterface::StickInterface(QObject* parent) : QObject(parent), m_gui(dynamic_cast<CProg2Gui*>(parent))
{
    init();
}

void StickInterface::init()
{
    if (!connect(&m_serialPortHandler, &CSerialPortHandler::receivedFrame, this, &StickInterface::rxFrame))
        LOG(lcLink, "connect failed");
    if (!connect(&m_serialPortHandler, &CSerialPortHandler::stateChanged, this,
                 &StickInterface::serialPortStateChanged))
        LOG(lcLink, "connect failed");
    m_stickDevType = 0xFFFF;
}

ZigBeeDeviceModel* StickInterface::deviceModel() const
{
    return m_gui ? m_gui->deviceModel() : nullptr;
}

CProg2Gui::SysState_t StickInterface::sysState() const
{
    return m_gui ? m_gui->SysState() : CProg2Gui::SysStateInit;
}

void StickInterface::setSysState(CProg2Gui::SysState_t _state)
{
    if (m_gui)
        m_gui->setSysState(_state);
}

bool StickInterface::isLinkConnected() const
{
    return m_serialPortHandler.state() == CSerialPortHandler::eStateConnected;
}

void StickInterface::setStickUpdateState(int _state)
{
    if (m_eStickUpdateState == _state)
        return;
    m_eStickUpdateState = _state;
    emit stickVersionAvailable();
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
        m_serialPortHandler.setState(CSerialPortHandler::eStateConnected);
        sendConnectAccept();
        m_lastRxSeq = 0;
        emit textChanged(11);
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
    if (m_eStickUpdateState == eStickUpdateStateUnknown)
        setStickUpdateState(sysState() == CProg2Gui::SysStateStickUpdate ? eStickUpdateStateFail
                                                                         : eStickUpdateStateIdle);
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
    if (status.nwkId != m_nwkId) {
        // Another network: the devices heard so far belong to the old one.
        m_nwkId = status.nwkId;
        if (ZigBeeDeviceModel* model = deviceModel())
            model->clear();
    }
    sendEmptyReply(_seq);

    if (!m_firstNwkStatusSeen) {
        m_firstNwkStatusSeen = true;
        if (m_nwkState == eNwkStateDiscoveryFailed) {
            m_resetToFN = true;
            if (ZigBeeDeviceModel* model = deviceModel())
                model->clear();
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
        ZclQueryNextImageReq(_seq, _payload);
        break;
    case ImageBlockReqId:
        ZclImageBlockReq(_seq, _payload);
        break;
    case UpgradeEndReqId:
        ZclUpgradeEndReq(_seq, _payload);
        break;
    default:
        LOG(lcLink,
            QString("UNKNOWN cmd id; cmd indication: srcAddrMode %1, srcShortAddress %2, srcExtAddress '%3', "
                    "srcProfileId %4, srcEndpointId %5, srcClusterId %6, clusterId %7, direction %8, commandId %9")
                .arg(hex(ind.srcAddrMode, 2), hex(ind.srcShortAddress, 4), byteArrayToHex(ind.extAddressBytes()),
                     hex(ind.srcProfileId, 4), hex(ind.srcEndpointId, 2), hex(ind.srcClusterId, 4),
                     hex(ind.clusterId, 4), hex(ind.direction, 2), hex(ind.commandId, 2)));
        break;
    }
}

void StickInterface::serialPortStateChanged()
{
    if (isLinkConnected()) {
        if (sysState() != CProg2Gui::SysStateStickUpdate && m_eStickUpdateState != eStickUpdateStateIdle) {
            m_eStickUpdateState = eStickUpdateStateIdle;
            emit stickVersionAvailable();
        }
        LOG(lcLink, "stick connected");
    } else {
        m_nwkState = eNwkStateUnknown;
        m_nwkChannel = 0;
        m_nwkShortAddr = 0;
        emit helpUpdateRequired();
    }
    emit textChanged(11);
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
    if (ZigBeeDeviceModel* model = deviceModel())
        model->clear();
}

// ---------------------------------------------------------------------------
// Display texts

QString StickInterface::getText(int _txtId)
{
    switch (_txtId) {
    case 11:
        return stickVersionText();
    case 12:
        switch (m_serialPortHandler.state()) {
        case CSerialPortHandler::eStateSearching:
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
    case 13: {
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
            return tr("joined") + QString(" <font color=\"grey\">( Ch: %9 | Addr: %10 )</font>")
                                      .arg(m_nwkChannel)
                                      .arg(m_nwkShortAddr, 4, 16, QChar('0'));
        default:
            return tr("unknown");
        }
    }
    case 32:
        if (m_eStickUpdateState == eStickUpdateStateSuccess)
            return QStringLiteral("qrc:/pic/checkmark.png");
        if (m_eStickUpdateState == eStickUpdateStateFail)
            return QStringLiteral("qrc:/pic/error.png");
        return QString();
    default: {
        const QString text = QString("wrong txt Id %1").arg(_txtId);
        LOG(lcLink, text);
        return text;
    }
    }
}

QString StickInterface::stickVersionText() const
{
    const QString current = m_stickFirmware.versionString();
    if (!isLinkConnected() || current.isEmpty() || m_eStickUpdateState == eStickUpdateStateUnknown)
        return tr("unknown");
    if (m_eStickUpdateState == eStickUpdateStateFail)
        return versionChangeHtml(current, "blue", m_stickFirmware.updateVersionString(), "green", "black",
                                 " " + tr("Verification failed", "stick update result"));
    if (m_stickFirmware.updateVersion() > m_stickFirmware.m_version)
        return versionChangeHtml(current, "blue", m_stickFirmware.updateVersionString(), "green", "black", "");
    return versionPrefixed(current);
}

// ---------------------------------------------------------------------------
// Runs

void StickInterface::startDeviceUpdate(bool _start)
{
    LOG(lcLink, QString("QML action: StartDeviceUpdate %1").arg(_start ? 1 : 0));
    setSysState(_start ? CProg2Gui::SysStateDeviceUpdate : CProg2Gui::SysStateIdle);
    emit helpUpdateRequired();
    m_updateList.clear();
    if (ZigBeeDeviceModel* model = deviceModel()) {
        if (_start)
            model->startUpdate();
        else
            model->abortUpdate();
    }
}

void StickInterface::startStickUpdate()
{
    m_stickFirmware.setProgress(0);
    setStickUpdateState(eStickUpdateStateTransfer);
    setSysState(CProg2Gui::SysStateStickUpdate);
}

void StickInterface::setStickUpdateInfo(unsigned int _version, QString _fileName)
{
    // The record takes only a newer version; the last announcement is kept
    // as given so it can be applied again when the stick reports a version.
    m_stickFirmware.setUpdateInfo(_version, _fileName);
    m_stickUpdateVersion = _version;
    m_stickUpdateFileName = _fileName;
    textChangeSlot(11);
}

bool StickInterface::isStickUpdateAvailable() const
{
    return !m_stickFirmware.versionString().isEmpty() && m_stickFirmware.hasUpdate();
}

void StickInterface::checkUpdateStop()
{
    ZigBeeDeviceModel* model = deviceModel();
    // The time first: it is cheap, and for the first 25 minutes of a run it
    // alone decides.
    if (model && model->isMinTimeElapsed() && !model->hasAny(ZigBeeDeviceModel::eCountTypeToUpdate)) {
        LOG(lcLink, "update stop");
        model->stopUpdate();
    }
}

// ---------------------------------------------------------------------------
// OTA Upgrade server

template <typename Request>
bool StickInterface::readRequest(const char* _what, const QByteArray& _payload, _IsdCommandIndication_t& _ind,
                                 Request& _req)
{
    if (_ind.readFrom(_payload) && _req.readFrom(_payload, _IsdCommandIndication_t::kSize))
        return true;
    LOG(lcLink, QString("WRONG %1: %2 bytes '%3'")
                    .arg(_what)
                    .arg(_payload.size())
                    .arg(byteArrayToHex(_payload, FrameCodec::kMaxLoggedBytes)));
    return false;
}

void StickInterface::sendZclQueryNextImageResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                               const _ZCL_OtauQueryNextImageResp_t& _resp)
{
    QByteArray body;
    body.reserve(3 + _IsdCommandResp_t::kSize + _ZCL_OtauQueryNextImageResp_t::kSize);
    appendU8(body, CommandReply);
    appendU8(body, _seq);
    appendU8(body, ZclIndication);
    _IsdCommandResp_t::answering(*_ind, QueryNextImageRespId).appendTo(body);
    _resp.appendTo(body);
    sendReply(body);

    if (ZigBeeDeviceModel* model = deviceModel()) {
        model->updateActivity(_ind->srcShortAddress);
        ZigBeeDevice::eClientState_t state = ZigBeeDevice::eClientStateUnknown;
        if (_resp.status == ZclSuccessStatus)
            state = ZigBeeDevice::eClientStatePrepareUpdate;
        else if (_resp.status == ZclAbortStatus)
            state = ZigBeeDevice::eClientStateWaitForUpdateInfo;
        else if (_resp.status == ZclNoImageAvailableStatus)
            state = ZigBeeDevice::eClientStateNoImageAvailable;
        model->setClientState(_ind->srcShortAddress, state);
    }
    if (_ind->srcShortAddress != 0)
        LOG(lcLink, QString("dev: %1 status %2").arg(hex(_ind->srcShortAddress, 4), statusName(_resp.status)));
}

void StickInterface::sendZclImageBlockResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                           const _ZCL_OtauImageBlockResp_t& _resp, QByteArray _data)
{
    QByteArray body;
    body.reserve(3 + _IsdCommandResp_t::kSize + _ZCL_OtauImageBlockResp_t::kSize + _data.size());
    appendU8(body, CommandReply);
    appendU8(body, _seq);
    appendU8(body, ZclIndication);
    _IsdCommandResp_t::answering(*_ind, ImageBlockRespId).appendTo(body);
    _resp.appendTo(body);
    body.append(_data);
    sendReply(body);

    if (ZigBeeDeviceModel* model = deviceModel()) {
        model->updateActivity(_ind->srcShortAddress);
        ZigBeeDevice::eClientState_t state = ZigBeeDevice::eClientStateUnknown;
        if (_resp.status == ZclSuccessStatus)
            state = ZigBeeDevice::eClientStateLoadData;
        else if (_resp.status == ZclAbortStatus)
            state = ZigBeeDevice::eClientStateAbortUpdate;
        model->setClientState(_ind->srcShortAddress, state);
    }
}

void StickInterface::sendZclUpdateEndResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                          const _ZCL_OtauUpgradeEndResp_t& _resp)
{
    QByteArray body;
    appendU8(body, CommandReply);
    appendU8(body, _seq);
    appendU8(body, ZclIndication);
    _IsdCommandResp_t::answering(*_ind, UpgradeEndRespId).appendTo(body);
    QByteArray resp;
    _resp.appendTo(resp);
    body.append(resp);
    LOG(lcLink, QString("all: %1 bytes '%2'").arg(body.size()).arg(byteArrayToHex(body, FrameCodec::kMaxLoggedBytes)));
    LOG(lcLink, QString("ZCL_OtauUpgradeEndResp_t: %1 bytes '%2'")
                    .arg(resp.size())
                    .arg(byteArrayToHex(resp, FrameCodec::kMaxLoggedBytes)));
    sendReply(body);
}

void StickInterface::ZclQueryNextImageReq(unsigned char _seq, const QByteArray _payload)
{
    _IsdCommandIndication_t ind;
    _ZCL_OtauQueryNextImageReq_t req;
    if (!readRequest("QueryNextImageReq", _payload, ind, req))
        return;

    _ZCL_OtauQueryNextImageResp_t resp;
    resp.manufacturerCode = req.manufacturerCode;
    resp.imageType = req.imageType;
    resp.fileVersion = req.currentFileVersion;
    resp.imageSize = 0;

    if (req.manufacturerCode != kManufacturerCode) {
        resp.status = ZclNoImageAvailableStatus;
        sendZclQueryNextImageResp(_seq, &ind, resp);
        return;
    }
    if (req.imageType == kStickImageType) {
        ZclQueryNextImageReq_Stick(_seq, &ind, &req);
        return;
    }
    ZigBeeDeviceModel* model = deviceModel();
    if (!model) {
        resp.status = ZclAbortStatus;
        sendZclQueryNextImageResp(_seq, &ind, resp);
        return;
    }
    if (ZigBeeDevice* device = model->findDevice(ind.srcShortAddress)) {
        ZclQueryNextImageReq_Device(_seq, &ind, &req, device);
        return;
    }

    model->addZigBeeDevice(ind.srcShortAddress, req.imageType, req.currentFileVersion, ind.extAddress());
    const QString deviceText = QString("shortAddr %1, devType %2 (%3), version %4")
                                   .arg(hex(ind.srcShortAddress, 4))
                                   .arg(req.imageType)
                                   .arg(DeviceType::deviceTypeName(req.imageType))
                                   .arg(req.currentFileVersion);
    ZigBeeDevice* device = model->findDevice(ind.srcShortAddress);
    if (!device) {
        LOG(lcLink, "WRONG: failed to add device " + deviceText);
        resp.status = ZclAbortStatus;
        sendZclQueryNextImageResp(_seq, &ind, resp);
        return;
    }
    // A device that shows up during a run joins it.
    if (sysState() == CProg2Gui::SysStateDeviceUpdate && device->hasUpdate())
        model->setProgress(model->rowOf(ind.srcShortAddress), 0);
    LOG(lcLink, "added device: " + deviceText);
    ZclQueryNextImageReq_Device(_seq, &ind, &req, device);
}

void StickInterface::ZclQueryNextImageReq_Device(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                                 const _ZCL_OtauQueryNextImageReq_t* _req, ZigBeeDevice* _device)
{
    ZigBeeDeviceModel* model = deviceModel();
    const ushort address = _ind->srcShortAddress;
    const quint32 reportedVersion = _req->currentFileVersion;

    _ZCL_OtauQueryNextImageResp_t resp;
    resp.manufacturerCode = _req->manufacturerCode;
    resp.imageType = _req->imageType;

    LOG(lcLink, QString("known device with short addr %1").arg(hex(address, 4)));
    bool start = false;

    if (sysState() == CProg2Gui::SysStateDeviceUpdate) {
        LOG(lcLink, QString("dev ShortAddress %1, listSize %2, contain %3, Batt %4, done %5, active %6, devVer %7, "
                            "updVer %8, clientState %9, FailCounter %10")
                        .arg(hex(address, 4))
                        .arg(m_updateList.size())
                        .arg(boolText(m_updateList.contains(address)), boolText(_device->isWallTransmitter()),
                             boolText(_device->isDone()),
                             boolText(_device->m_clientState != ZigBeeDevice::eClientStateNoActivity),
                             hex(reportedVersion, 4), hex(_device->updateVersion(), 4), _device->clientStateName())
                        .arg(_device->m_failCounter));

        const int row = model->rowOf(address);

        if (_device->m_clientState == ZigBeeDevice::eClientStateCheckWriteData) {
            // The device ended its transfer and restarted: does it run the offered image?
            const bool success = _device->m_progress == 1000 && _device->updateVersion() == reportedVersion;
            LOG(lcLink, QString("ver from dev %1, update %2 ver %3; success %4")
                            .arg(hex(reportedVersion, 4), hex(_device->updateVersion(), 4), hex(_device->m_version, 4))
                            .arg(success ? 1 : 0));
            _device->m_version = reportedVersion;
            if (success) {
                model->setDone(row, ProgressHelper::eResultSuccess);
            } else {
                ++_device->m_failCounter;
                model->setDone(row, ProgressHelper::eResultVerifFail);
            }
            LOG(lcLink, QString("eClientStateCheckWriteData ShortAddress %1, FailCounter %2: Result %3")
                            .arg(hex(address, 4))
                            .arg(_device->m_failCounter)
                            .arg(_device->resultName()));
        }

        if (m_updateList.contains(address)) {
            // The device asks again in the middle of its transfer, e.g. after a restart.
            LOG(lcLink, QString("RE-starting update shortAddr %1").arg(hex(address, 4)));
            ++_device->m_failCounter;
            if (_device->m_failCounter < ProgressHelper::kMaxFailures) {
                model->setDone(row, ProgressHelper::eResultStart);
                start = true;
            } else {
                // Given up: it must not keep the other devices waiting.
                model->setDone(row, ProgressHelper::eResultVerifFail);
                m_updateList.removeOne(address);
            }
        } else if (_device->hasUpdate() && _device->m_failCounter < ProgressHelper::kMaxFailures &&
                   m_updateList.isEmpty() &&
                   (_device->isWallTransmitter() ||
                    !model->hasAny(ZigBeeDeviceModel::eCountTypeWallTransmitterAwake))) {
            LOG(lcLink, QString("starting update shortAddr %1").arg(hex(address, 4)));
            m_updateList.append(address);
            start = true;
        }

        checkUpdateStop();
    }

    const FirmwareUpdate* record = theFileModel ? theFileModel->findByDevType(_req->imageType) : nullptr;
    if (record && start) {
        const QString path = servedFilePath(record);
        const quint32 size = servableSize(QFileInfo(path));
        const int row = model->rowOf(address);
        if (size > 0) {
            resp.status = ZclSuccessStatus;
            model->setProgress(row, 0);
            model->setDone(row, ProgressHelper::eResultStart);
            resp.fileVersion = record->m_version;
            resp.imageSize = size;
            sendZclQueryNextImageResp(_seq, _ind, resp);
            return;
        }
        LOG(lcLink, QString("missing file or file empty '%1'").arg(path));
        model->setProgress(row, 0);
        _device->m_failCounter = ProgressHelper::kMaxFailures;
        model->setDone(row, ProgressHelper::eResultMissingFile);
        m_updateList.removeOne(address);
        resp.status = ZclNoImageAvailableStatus;
        sendZclQueryNextImageResp(_seq, _ind, resp);
        // The one answer to this request has gone out.
        checkUpdateStop();
        return;
    }

    const bool possible = theFileModel && theFileModel->isUpdatePossible(_req->imageType, reportedVersion);
    LOG(lcLink, QString("STATUS: shortAddr %1, devType %2 (%3), version %4: possibUpdates %5, boHasUpdate %6")
                    .arg(hex(address, 4))
                    .arg(_req->imageType)
                    .arg(DeviceType::deviceTypeName(_req->imageType), versionPrefixed(formatVersion(reportedVersion)),
                         boolText(possible), boolText(_device->hasUpdate())));
    resp.status = possible ? ZclAbortStatus : ZclNoImageAvailableStatus;
    sendZclQueryNextImageResp(_seq, _ind, resp);
}

void StickInterface::ZclQueryNextImageReq_Stick(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                                const _ZCL_OtauQueryNextImageReq_t* _req)
{
    const quint32 reportedVersion = _req->currentFileVersion;
    m_stickFirmware.setVersion(reportedVersion);
    m_stickFirmware.setUpdateInfo(m_stickUpdateVersion, m_stickUpdateFileName);
    emit textChanged(11);
    emit stickVersionAvailable();

    _ZCL_OtauQueryNextImageResp_t resp;
    resp.manufacturerCode = _req->manufacturerCode;
    resp.imageType = _req->imageType;

    switch (m_eStickUpdateState) {
    case eStickUpdateStateTransfer:
        if (const FirmwareUpdate* record = theFileModel ? theFileModel->findByDevType(kStickImageType) : nullptr) {
            resp.status = ZclSuccessStatus;
            resp.fileVersion = record->m_version;
            resp.imageSize = servableSize(QFileInfo(servedFilePath(record)));
            sendZclQueryNextImageResp(_seq, _ind, resp);
            return;
        }
        break;
    case eStickUpdateStateWait:
        LOG(lcLink, QString("QueryNextImageRequest eStickUpdateStateWait: Stick: currentFirmwareVersion %1, "
                            "updateVersion %2, boHasUpdate %3")
                        .arg(versionPrefixed(formatVersion(reportedVersion)), m_stickFirmware.updateVersionString(),
                             boolText(m_stickFirmware.hasUpdate())));
        setStickUpdateState(m_stickFirmware.hasUpdate() ? eStickUpdateStateFail : eStickUpdateStateSuccess);
        setSysState(CProg2Gui::SysStateIdle);
        // The stick update is over: the help box moves on from "wait".
        emit helpUpdateRequired();
        break;
    case eStickUpdateStateUnknown:
    case eStickUpdateStateIdle:
        if (!m_stickFirmware.hasUpdate())
            setStickUpdateState(eStickUpdateStateUpToDate);
        break;
    default:
        break;
    }

    const bool possible = theFileModel && theFileModel->isUpdatePossible(kStickImageType, reportedVersion);
    resp.status = possible ? ZclAbortStatus : ZclNoImageAvailableStatus;
    sendZclQueryNextImageResp(_seq, _ind, resp);
}

void StickInterface::ZclImageBlockReq(unsigned char _seq, const QByteArray _payload)
{
    _IsdCommandIndication_t ind;
    _ZCL_OtauImageBlockReq_t req;
    if (!readRequest("ImageBlockReq", _payload, ind, req))
        return;

    _ZCL_OtauImageBlockResp_t resp;
    if (req.manufacturerCode != kManufacturerCode) {
        resp.status = ZclNoImageAvailableStatus;
        sendZclImageBlockResp(_seq, &ind, resp, QByteArray());
        return;
    }
    resp.manufacturerCode = req.manufacturerCode;
    resp.imageType = req.imageType;
    resp.fileVersion = req.fileVersion;
    resp.fileOffset = req.fileOffset;
    resp.dataSize = 0;

    const bool isStick = req.imageType == kStickImageType;
    FirmwareUpdate* record = theFileModel ? theFileModel->findByDevType(req.imageType) : nullptr;
    ZigBeeDeviceModel* model = deviceModel();
    ZigBeeDevice* device = model ? model->findDevice(ind.srcShortAddress) : nullptr;

    // Requests outside a running update are refused so the client stops.
    QString refusal;
    if (!record) {
        refusal = QString("unknown device type; imageType %1").arg(req.imageType);
    } else if (isStick) {
        // The stick is not a row of the device list; only the system state decides.
        if (sysState() != CProg2Gui::SysStateStickUpdate)
            refusal = "stick but wrong state";
    } else if (sysState() != CProg2Gui::SysStateDeviceUpdate) {
        refusal = "device but wrong state";
        if (device)
            device->resetTiming();
    } else if (!device) {
        refusal = "unknown device";
    } else if (!m_updateList.contains(ind.srcShortAddress)) {
        refusal = QString("device %1 not in list of devices currently updated").arg(hex(ind.srcShortAddress, 4));
        device->resetTiming();
    }
    if (!refusal.isEmpty()) {
        LOG(lcLink, refusal);
        resp.status = ZclAbortStatus;
        sendZclImageBlockResp(_seq, &ind, resp, QByteArray());
        LOG(lcLink, "send ZCL_ABORT_STATUS");
        return;
    }

    const QString path = servedFilePath(record);
    // Unbuffered: a buffered read would fetch far more than one block. The
    // size comes from the open file; opening refuses a directory.
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const qint64 fileSize = opened ? file.size() : 0;
    const quint32 size = (fileSize > 0 && fileSize <= qint64(0xFFFFFFFFu)) ? quint32(fileSize) : 0;
    if (size > 0) {
        QByteArray data;
        const int wanted = qMin<int>(req.maxDataSize, kMaxBlockSize);
        if (file.seek(qint64(req.fileOffset)))
            data = file.read(wanted);
        file.close();

        resp.status = ZclSuccessStatus;
        resp.dataSize = quint8(data.size());
        sendZclImageBlockResp(_seq, &ind, resp, data);

        const quint64 served = quint64(req.fileOffset) + quint64(data.size());
        if (isStick) {
            m_stickFirmware.setProgress(perMille(served, size));
            emit stickVersionAvailable();
            return;
        }
        LOG(lcLink, QString("DEV - file name %1 sending data from offset %2 bytes %3")
                        .arg(path)
                        .arg(req.fileOffset)
                        .arg(data.size()));
        const int row = model->rowOf(ind.srcShortAddress);
        if (row >= 0)
            model->setProgress(row, perMille(served, size));
        if (device->m_result == ProgressHelper::eResultStart && req.fileOffset == 0)
            device->startTiming();
        device->setDone(ProgressHelper::eResultTransfer);
        if (served >= size) {
            device->stopTiming();
            record->updateDuration(device->m_updateDuration);
            LOG(lcLink, QString("updating dev %1 took %2 seconds; new avg update duration %3")
                            .arg(device->name())
                            .arg(device->m_updateDuration)
                            .arg(record->m_duration));
        }
        return;
    }

    LOG(lcLink, QString("file error %1 name %2").arg(file.errorString(), path));
    if (isStick) {
        setStickUpdateState(eStickUpdateStateFail);
    } else {
        const int row = model->rowOf(ind.srcShortAddress);
        if (row >= 0)
            model->setDone(row, ProgressHelper::eResultFail);
    }
    resp.status = ZclAbortStatus;
    resp.dataSize = 0;
    sendZclImageBlockResp(_seq, &ind, resp, QByteArray());
}

void StickInterface::ZclUpgradeEndReq(unsigned char _seq, const QByteArray _payload)
{
    _IsdCommandIndication_t ind;
    _ZCL_OtauUpgradeEndReq_t req;
    if (!readRequest("UpgradeEndReq", _payload, ind, req))
        return;

    LOG(lcLink,
        QString("UpgradeEndReq: status %1, manufacturerId %2, imageType '%3', firmwareVersion %4")
            .arg(hex(req.status, 2), hex(req.manufacturerCode, 4), hex(req.imageType, 4), hex(req.fileVersion, 8)));

    _ZCL_OtauUpgradeEndResp_t resp;
    if (req.manufacturerCode != kManufacturerCode) {
        sendZclUpdateEndResp(_seq, &ind, resp);
        return;
    }
    resp.manufacturerCode = kManufacturerCode;
    resp.imageType = req.imageType;
    resp.fileVersion = req.fileVersion;
    resp.currentTime = 0;
    resp.upgradeTime = 0; // upgrade at once
    sendZclUpdateEndResp(_seq, &ind, resp);

    const ushort address = ind.srcShortAddress;
    ZigBeeDeviceModel* model = deviceModel();
    if (model && model->findDevice(address)) {
        model->updateActivity(address);
        model->setClientState(address, req.status == 0 ? ZigBeeDevice::eClientStateCheckWriteData
                                                       : ZigBeeDevice::eClientStateAbortUpdate);
    }

    switch (sysState()) {
    case CProg2Gui::SysStateDeviceUpdate:
        LOG(lcLink, QString("DEV - END - removeFromUpdateList %1").arg(hex(address, 4)));
        if (model)
            model->setDone(model->rowOf(address), ProgressHelper::eResultWaiting);
        m_updateList.removeOne(address);
        break;
    case CProg2Gui::SysStateStickUpdate:
        LOG(lcLink, "STICK - END");
        setStickUpdateState(eStickUpdateStateWait);
        emit stickVersionAvailable();
        break;
    default:
        LOG(lcLink, "WRONG - END");
        break;
    }
}
