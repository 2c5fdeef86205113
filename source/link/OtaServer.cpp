#include "OtaServer.h"

#include <QFile>
#include <QFileInfo>

#include "FrameCodec.h"
#include "common/DeviceType.h"
#include "common/FirmwareCatalog.h"
#include "common/log.h"
#include "common/settings.h"
#include "content/BackupIni.h"
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
QString servedFilePath(const FirmwareUpdate& _record)
{
    return getUpdatePath() + "/" + QFileInfo(_record.m_fileName).fileName();
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

FirmwareUpdate* recordOf(quint16 _devType)
{
    return theFileModel ? theFileModel->findByDevType(_devType) : nullptr;
}

bool isUpdatePossible(quint16 _devType, quint32 _version)
{
    return theFileModel && theFileModel->isUpdatePossible(_devType, _version);
}
} // namespace

OtaServer::OtaServer(QObject* parent) : QObject(parent)
{}

ZigBeeDeviceModel* OtaServer::deviceModel() const
{
    return theBridge ? theBridge->deviceModel() : nullptr;
}

SystemServices::SysState_t OtaServer::sysState() const
{
    return theBridge ? theBridge->SysState() : SystemServices::SysStateInit;
}

void OtaServer::setSysState(SystemServices::SysState_t _state)
{
    if (theBridge)
        theBridge->setSysState(_state);
}

void OtaServer::setStickUpdateState(int _state)
{
    if (m_eStickUpdateState == _state)
        return;
    m_eStickUpdateState = _state;
    emit stickVersionAvailable();
}

// ---------------------------------------------------------------------------
// Decisions

OtaServer::QueryDecision OtaServer::decideQuery(const DeviceQuery& _query)
{
    QueryDecision decision;
    if (!_query.inRun)
        return decision;

    int failCounter = _query.failCounter;
    quint32 deviceVersion = _query.deviceVersion;
    if (_query.checkPending) {
        // The device ended its transfer and restarted: does it run the offered image?
        const bool success = _query.progress == 1000 && _query.fileVersion == _query.reportedVersion;
        decision.check = success ? QueryDecision::eCheckSuccess : QueryDecision::eCheckFailure;
        deviceVersion = _query.reportedVersion;
        if (!success)
            ++failCounter;
    }

    const bool hasUpdate = _query.fileVersion != kNoVersion && _query.fileVersion > deviceVersion;
    if (_query.inUpdateList) {
        // Asked again in the middle of its transfer, e.g. after a restart.
        decision.step =
            failCounter + 1 < ProgressHelper::kMaxFailures ? QueryDecision::eStepRestart : QueryDecision::eStepGiveUp;
    } else if (hasUpdate && failCounter < ProgressHelper::kMaxFailures && _query.updateListEmpty &&
               (_query.wallTransmitter || !(_query.wallTransmitterAwake && _query.wallTransmitterAwake()))) {
        decision.step = QueryDecision::eStepStart;
    }
    return decision;
}

OtaServer::BlockVerdict_t OtaServer::decideBlock(quint16 _manufacturerCode, quint16 _imageType, bool _hasRecord,
                                                 SystemServices::SysState_t _state, bool _deviceKnown,
                                                 bool _inUpdateList)
{
    if (_manufacturerCode != kManufacturerCode)
        return eBlockForeignManufacturer;
    if (!_hasRecord)
        return eBlockUnknownType;
    if (_imageType == kStickImageType) {
        // The stick is not a row of the device list; only the system state decides.
        return _state == SystemServices::SysStateStickUpdate ? eBlockServe : eBlockStickWrongState;
    }
    if (_state != SystemServices::SysStateDeviceUpdate)
        return eBlockDeviceWrongState;
    if (!_deviceKnown)
        return eBlockUnknownDevice;
    if (!_inUpdateList)
        return eBlockNotInList;
    return eBlockServe;
}

OtaServer::StickQueryDecision OtaServer::decideStickQuery(int _state, bool _hasRecord, bool _stillHasUpdate)
{
    StickQueryDecision decision;
    decision.newState = _state;
    switch (_state) {
    case eStickUpdateStateTransfer:
        decision.offer = _hasRecord;
        break;
    case eStickUpdateStateWait:
        decision.newState = _stillHasUpdate ? eStickUpdateStateFail : eStickUpdateStateSuccess;
        decision.updateOver = true;
        break;
    case eStickUpdateStateUnknown:
    case eStickUpdateStateIdle:
        if (!_stillHasUpdate)
            decision.newState = eStickUpdateStateUpToDate;
        break;
    default:
        break;
    }
    return decision;
}

// ---------------------------------------------------------------------------
// Runs

void OtaServer::startDeviceUpdate(bool _start)
{
    LOG(lcOta, QString("QML action: StartDeviceUpdate %1").arg(_start ? 1 : 0));
    setSysState(_start ? SystemServices::SysStateDeviceUpdate : SystemServices::SysStateIdle);
    emit helpUpdateRequired();
    m_updateList.clear();
    if (ZigBeeDeviceModel* model = deviceModel()) {
        if (_start)
            model->startUpdate();
        else
            model->abortUpdate();
    }
}

void OtaServer::startStickUpdate()
{
    m_stickFirmware.setProgress(0);
    setStickUpdateState(eStickUpdateStateTransfer);
    setSysState(SystemServices::SysStateStickUpdate);
}

void OtaServer::setStickUpdateInfo(unsigned int _version, QString _fileName)
{
    // The record takes only a newer version; the last announcement is kept
    // as given so it can be applied again when the stick reports a version.
    m_stickFirmware.setUpdateInfo(_version, _fileName);
    m_stickUpdateVersion = _version;
    m_stickUpdateFileName = _fileName;
    emit stickTextChanged();
    emit stickVersionAvailable();
}

bool OtaServer::isStickUpdateAvailable() const
{
    return !m_stickFirmware.versionString().isEmpty() && m_stickFirmware.hasUpdate();
}

void OtaServer::stickConnected(bool _stickUpdateRunning)
{
    if (m_eStickUpdateState == eStickUpdateStateUnknown)
        setStickUpdateState(_stickUpdateRunning ? eStickUpdateStateFail : eStickUpdateStateIdle);
}

void OtaServer::linkUp(bool _stickUpdateRunning)
{
    if (!_stickUpdateRunning && m_eStickUpdateState != eStickUpdateStateIdle) {
        m_eStickUpdateState = eStickUpdateStateIdle;
        emit stickVersionAvailable();
    }
}

void OtaServer::checkUpdateStop()
{
    ZigBeeDeviceModel* model = deviceModel();
    // The time first: it is cheap, and for the first 25 minutes of a run it
    // alone decides.
    if (model && model->isMinTimeElapsed() && !model->hasAny(ZigBeeDeviceModel::eCountTypeToUpdate)) {
        LOG(lcOta, "update stop");
        model->stopUpdate();
    }
}

// ---------------------------------------------------------------------------
// Responses

template <typename Request>
bool OtaServer::readRequest(const char* _what, const QByteArray& _payload, _IsdCommandIndication_t& _ind, Request& _req)
{
    if (_ind.readFrom(_payload) && _req.readFrom(_payload, _IsdCommandIndication_t::kSize))
        return true;
    LOG(lcOta, QString("WRONG %1: %2 bytes '%3'")
                   .arg(_what)
                   .arg(_payload.size())
                   .arg(byteArrayToHex(_payload, FrameCodec::kMaxLoggedBytes)));
    return false;
}

void OtaServer::sendZclQueryNextImageResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                          const _ZCL_OtauQueryNextImageResp_t& _resp)
{
    QByteArray payload;
    payload.reserve(_IsdCommandResp_t::kSize + _ZCL_OtauQueryNextImageResp_t::kSize);
    _IsdCommandResp_t::answering(*_ind, QueryNextImageRespId).appendTo(payload);
    _resp.appendTo(payload);
    emit reply(_seq, payload);

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
        LOG(lcOta, QString("dev: %1 status %2").arg(hex(_ind->srcShortAddress, 4), statusName(_resp.status)));
}

void OtaServer::sendZclImageBlockResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                      const _ZCL_OtauImageBlockResp_t& _resp, QByteArray _data)
{
    QByteArray payload;
    payload.reserve(_IsdCommandResp_t::kSize + _ZCL_OtauImageBlockResp_t::kSize + _data.size());
    _IsdCommandResp_t::answering(*_ind, ImageBlockRespId).appendTo(payload);
    _resp.appendTo(payload);
    payload.append(_data);
    emit reply(_seq, payload);

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

void OtaServer::sendZclUpdateEndResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                     const _ZCL_OtauUpgradeEndResp_t& _resp)
{
    QByteArray payload;
    _IsdCommandResp_t::answering(*_ind, UpgradeEndRespId).appendTo(payload);
    QByteArray resp;
    _resp.appendTo(resp);
    payload.append(resp);
    // The log shows the whole reply body: command reply, sequence number, ZCL indication.
    QByteArray body;
    body.append(char(0x04)).append(char(_seq)).append(char(0x10)).append(payload);
    LOG(lcOta, QString("all: %1 bytes '%2'").arg(body.size()).arg(byteArrayToHex(body, FrameCodec::kMaxLoggedBytes)));
    LOG(lcOta, QString("ZCL_OtauUpgradeEndResp_t: %1 bytes '%2'")
                   .arg(resp.size())
                   .arg(byteArrayToHex(resp, FrameCodec::kMaxLoggedBytes)));
    emit reply(_seq, payload);
}

// ---------------------------------------------------------------------------
// Query Next Image

void OtaServer::ZclQueryNextImageReq(unsigned char _seq, const QByteArray _payload)
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
        LOG(lcOta, "WRONG: failed to add device " + deviceText);
        resp.status = ZclAbortStatus;
        sendZclQueryNextImageResp(_seq, &ind, resp);
        return;
    }
    // A device that shows up during a run joins it.
    if (sysState() == SystemServices::SysStateDeviceUpdate && device->hasUpdate())
        model->setProgress(model->rowOf(ind.srcShortAddress), 0);
    LOG(lcOta, "added device: " + deviceText);
    ZclQueryNextImageReq_Device(_seq, &ind, &req, device);
}

void OtaServer::ZclQueryNextImageReq_Device(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                            const _ZCL_OtauQueryNextImageReq_t* _req, ZigBeeDevice* _device)
{
    ZigBeeDeviceModel* model = deviceModel();
    const ushort address = _ind->srcShortAddress;
    const quint32 reportedVersion = _req->currentFileVersion;
    LOG(lcOta, QString("known device with short addr %1").arg(hex(address, 4)));

    DeviceQuery query;
    query.inRun = sysState() == SystemServices::SysStateDeviceUpdate;
    query.checkPending = _device->m_clientState == ZigBeeDevice::eClientStateCheckWriteData;
    query.progress = _device->m_progress;
    query.deviceVersion = _device->m_version;
    query.reportedVersion = reportedVersion;
    query.fileVersion = _device->updateVersion();
    query.failCounter = _device->m_failCounter;
    query.inUpdateList = m_updateList.contains(address);
    query.updateListEmpty = m_updateList.isEmpty();
    query.wallTransmitter = _device->isWallTransmitter();
    query.wallTransmitterAwake = [model] { return model->hasAny(ZigBeeDeviceModel::eCountTypeWallTransmitterAwake); };
    const QueryDecision decision = decideQuery(query);

    if (query.inRun) {
        LOG(lcOta, QString("dev ShortAddress %1, listSize %2, contain %3, Batt %4, done %5, active %6, devVer %7, "
                           "updVer %8, clientState %9, FailCounter %10")
                       .arg(hex(address, 4))
                       .arg(m_updateList.size())
                       .arg(boolText(query.inUpdateList), boolText(query.wallTransmitter), boolText(_device->isDone()),
                            boolText(_device->m_clientState != ZigBeeDevice::eClientStateNoActivity),
                            hex(reportedVersion, 4), hex(query.fileVersion, 4), _device->clientStateName())
                       .arg(query.failCounter));
        applyQueryDecision(decision, address, reportedVersion);
        checkUpdateStop();
    }

    _ZCL_OtauQueryNextImageResp_t resp;
    resp.manufacturerCode = _req->manufacturerCode;
    resp.imageType = _req->imageType;
    if (const FirmwareUpdate* record = recordOf(_req->imageType); record && decision.offers()) {
        offerImage(_seq, _ind, resp, *record);
        return;
    }

    const bool possible = isUpdatePossible(_req->imageType, reportedVersion);
    LOG(lcOta, QString("STATUS: shortAddr %1, devType %2 (%3), version %4: possibUpdates %5, boHasUpdate %6")
                   .arg(hex(address, 4))
                   .arg(_req->imageType)
                   .arg(DeviceType::deviceTypeName(_req->imageType), versionPrefixed(formatVersion(reportedVersion)),
                        boolText(possible), boolText(_device->hasUpdate())));
    resp.status = possible ? ZclAbortStatus : ZclNoImageAvailableStatus;
    sendZclQueryNextImageResp(_seq, _ind, resp);
}

void OtaServer::applyQueryDecision(const QueryDecision& _decision, ushort _address, quint32 _reportedVersion)
{
    ZigBeeDeviceModel* model = deviceModel();
    if (_decision.check != QueryDecision::eCheckNone) {
        const bool success = _decision.check == QueryDecision::eCheckSuccess;
        const ZigBeeDevice* device = model->findDevice(_address);
        LOG(lcOta, QString("ver from dev %1, update %2 ver %3; success %4")
                       .arg(hex(_reportedVersion, 4), hex(device->updateVersion(), 4), hex(device->m_version, 4))
                       .arg(success ? 1 : 0));
        model->verifyUpdate(_address, _reportedVersion, success);
        LOG(lcOta, QString("eClientStateCheckWriteData ShortAddress %1, FailCounter %2: Result %3")
                       .arg(hex(_address, 4))
                       .arg(device->m_failCounter)
                       .arg(device->resultName()));
    }
    switch (_decision.step) {
    case QueryDecision::eStepRestart:
        LOG(lcOta, QString("RE-starting update shortAddr %1").arg(hex(_address, 4)));
        model->countFailure(_address, ProgressHelper::eResultStart);
        break;
    case QueryDecision::eStepGiveUp:
        LOG(lcOta, QString("RE-starting update shortAddr %1").arg(hex(_address, 4)));
        model->countFailure(_address, ProgressHelper::eResultVerifFail);
        // Given up: it must not keep the other devices waiting.
        m_updateList.removeOne(_address);
        break;
    case QueryDecision::eStepStart:
        LOG(lcOta, QString("starting update shortAddr %1").arg(hex(_address, 4)));
        m_updateList.append(_address);
        break;
    case QueryDecision::eStepNone:
        break;
    }
}

void OtaServer::offerImage(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                           _ZCL_OtauQueryNextImageResp_t& _resp, const FirmwareUpdate& _record)
{
    ZigBeeDeviceModel* model = deviceModel();
    const ushort address = _ind->srcShortAddress;
    const QString path = servedFilePath(_record);
    const quint32 size = servableSize(QFileInfo(path));
    if (size > 0) {
        model->startTransfer(address);
        _resp.status = ZclSuccessStatus;
        _resp.fileVersion = _record.m_version;
        _resp.imageSize = size;
        sendZclQueryNextImageResp(_seq, _ind, _resp);
        return;
    }
    LOG(lcOta, QString("missing file or file empty '%1'").arg(path));
    model->giveUp(address, ProgressHelper::eResultMissingFile);
    m_updateList.removeOne(address);
    _resp.status = ZclNoImageAvailableStatus;
    sendZclQueryNextImageResp(_seq, _ind, _resp);
    // The one answer to this request has gone out.
    checkUpdateStop();
}

void OtaServer::ZclQueryNextImageReq_Stick(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                           const _ZCL_OtauQueryNextImageReq_t* _req)
{
    const quint32 reportedVersion = _req->currentFileVersion;
    m_stickFirmware.setVersion(reportedVersion);
    m_stickFirmware.setUpdateInfo(m_stickUpdateVersion, m_stickUpdateFileName);
    emit stickTextChanged();
    emit stickVersionAvailable();

    _ZCL_OtauQueryNextImageResp_t resp;
    resp.manufacturerCode = _req->manufacturerCode;
    resp.imageType = _req->imageType;

    const FirmwareUpdate* record = recordOf(kStickImageType);
    const StickQueryDecision decision =
        decideStickQuery(m_eStickUpdateState, record != nullptr, m_stickFirmware.hasUpdate());
    if (decision.offer) {
        resp.status = ZclSuccessStatus;
        resp.fileVersion = record->m_version;
        resp.imageSize = servableSize(QFileInfo(servedFilePath(*record)));
        sendZclQueryNextImageResp(_seq, _ind, resp);
        return;
    }
    if (decision.updateOver) {
        LOG(lcOta, QString("QueryNextImageRequest eStickUpdateStateWait: Stick: currentFirmwareVersion %1, "
                           "updateVersion %2, boHasUpdate %3")
                       .arg(versionPrefixed(formatVersion(reportedVersion)), m_stickFirmware.updateVersionString(),
                            boolText(m_stickFirmware.hasUpdate())));
    }
    setStickUpdateState(decision.newState);
    if (decision.updateOver) {
        setSysState(SystemServices::SysStateIdle);
        // The stick update is over: the help box moves on from "wait".
        emit helpUpdateRequired();
    }

    resp.status = isUpdatePossible(kStickImageType, reportedVersion) ? ZclAbortStatus : ZclNoImageAvailableStatus;
    sendZclQueryNextImageResp(_seq, _ind, resp);
}

// ---------------------------------------------------------------------------
// Image Block

void OtaServer::ZclImageBlockReq(unsigned char _seq, const QByteArray _payload)
{
    _IsdCommandIndication_t ind;
    _ZCL_OtauImageBlockReq_t req;
    if (!readRequest("ImageBlockReq", _payload, ind, req))
        return;

    FirmwareUpdate* record = recordOf(req.imageType);
    ZigBeeDeviceModel* model = deviceModel();
    const ZigBeeDevice* device = model ? model->findDevice(ind.srcShortAddress) : nullptr;
    const BlockVerdict_t verdict = decideBlock(req.manufacturerCode, req.imageType, record != nullptr, sysState(),
                                               device != nullptr, m_updateList.contains(ind.srcShortAddress));

    _ZCL_OtauImageBlockResp_t resp;
    switch (verdict) {
    case eBlockServe:
        serveBlock(_seq, ind, req, *record);
        return;
    case eBlockForeignManufacturer:
        resp.status = ZclNoImageAvailableStatus;
        sendZclImageBlockResp(_seq, &ind, resp, QByteArray());
        return;
    case eBlockUnknownType:
        LOG(lcOta, QString("unknown device type; imageType %1").arg(req.imageType));
        break;
    case eBlockStickWrongState:
        LOG(lcOta, "stick but wrong state");
        break;
    case eBlockDeviceWrongState:
        LOG(lcOta, "device but wrong state");
        if (device)
            model->resetTiming(ind.srcShortAddress);
        break;
    case eBlockUnknownDevice:
        LOG(lcOta, "unknown device");
        break;
    case eBlockNotInList:
        LOG(lcOta, QString("device %1 not in list of devices currently updated").arg(hex(ind.srcShortAddress, 4)));
        model->resetTiming(ind.srcShortAddress);
        break;
    }
    // Requests outside a running update are refused so the client stops.
    resp.manufacturerCode = req.manufacturerCode;
    resp.imageType = req.imageType;
    resp.fileVersion = req.fileVersion;
    resp.fileOffset = req.fileOffset;
    resp.status = ZclAbortStatus;
    resp.dataSize = 0;
    sendZclImageBlockResp(_seq, &ind, resp, QByteArray());
    LOG(lcOta, "send ZCL_ABORT_STATUS");
}

void OtaServer::serveBlock(unsigned char _seq, const _IsdCommandIndication_t& _ind,
                           const _ZCL_OtauImageBlockReq_t& _req, FirmwareUpdate& _record)
{
    _ZCL_OtauImageBlockResp_t resp;
    resp.manufacturerCode = _req.manufacturerCode;
    resp.imageType = _req.imageType;
    resp.fileVersion = _req.fileVersion;
    resp.fileOffset = _req.fileOffset;
    resp.dataSize = 0;
    const bool isStick = _req.imageType == kStickImageType;
    ZigBeeDeviceModel* model = deviceModel();

    const QString path = servedFilePath(_record);
    // Unbuffered: a buffered read would fetch far more than one block. The
    // size comes from the open file; opening refuses a directory.
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const qint64 fileSize = opened ? file.size() : 0;
    const quint32 size = (fileSize > 0 && fileSize <= qint64(0xFFFFFFFFu)) ? quint32(fileSize) : 0;
    if (size == 0) {
        LOG(lcOta, QString("file error %1 name %2").arg(file.errorString(), path));
        if (isStick)
            setStickUpdateState(eStickUpdateStateFail);
        else
            model->setDone(model->rowOf(_ind.srcShortAddress), ProgressHelper::eResultFail);
        resp.status = ZclAbortStatus;
        sendZclImageBlockResp(_seq, &_ind, resp, QByteArray());
        return;
    }

    QByteArray data;
    if (file.seek(qint64(_req.fileOffset)))
        data = file.read(qMin<int>(_req.maxDataSize, kMaxBlockSize));
    file.close();
    resp.status = ZclSuccessStatus;
    resp.dataSize = quint8(data.size());
    sendZclImageBlockResp(_seq, &_ind, resp, data);

    const quint64 served = quint64(_req.fileOffset) + quint64(data.size());
    if (isStick) {
        m_stickFirmware.setProgress(perMille(served, size));
        emit stickVersionAvailable();
        return;
    }
    LOG(lcOta, QString("DEV - file name %1 sending data from offset %2 bytes %3")
                   .arg(path)
                   .arg(_req.fileOffset)
                   .arg(data.size()));
    const int duration =
        model->recordBlock(_ind.srcShortAddress, perMille(served, size), _req.fileOffset == 0, served >= size);
    if (served >= size) {
        if (_record.updateDuration(duration))
            BackupIni::recordDuration(_record.m_devType, _record.m_duration);
        LOG(lcOta, QString("updating dev %1 took %2 seconds; new avg update duration %3")
                       .arg(model->findDevice(_ind.srcShortAddress)->name())
                       .arg(duration)
                       .arg(_record.m_duration));
    }
}

// ---------------------------------------------------------------------------
// Upgrade End

void OtaServer::ZclUpgradeEndReq(unsigned char _seq, const QByteArray _payload)
{
    _IsdCommandIndication_t ind;
    _ZCL_OtauUpgradeEndReq_t req;
    if (!readRequest("UpgradeEndReq", _payload, ind, req))
        return;

    LOG(lcOta,
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
    case SystemServices::SysStateDeviceUpdate:
        LOG(lcOta, QString("DEV - END - removeFromUpdateList %1").arg(hex(address, 4)));
        if (model)
            model->setDone(model->rowOf(address), ProgressHelper::eResultWaiting);
        m_updateList.removeOne(address);
        break;
    case SystemServices::SysStateStickUpdate:
        LOG(lcOta, "STICK - END");
        setStickUpdateState(eStickUpdateStateWait);
        emit stickVersionAvailable();
        break;
    default:
        LOG(lcOta, "WRONG - END");
        break;
    }
}
