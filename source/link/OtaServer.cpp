#include "OtaServer.h"

#include <QFile>
#include <QFileInfo>

#include "FrameCodec.h"
#include "common/DeviceType.h"
#include "common/FirmwareCatalog.h"
#include "common/OtaImageHeader.h"
#include "common/RunState.h"
#include "common/log.h"
#include "common/settings.h"
#include "devices/ZigBeeDeviceModel.h"

using namespace OtaRecords;

namespace {
// The image served for a firmware record: its plain file name in the update folder.
QString servedFilePath(const FirmwareUpdate& _record)
{
    return getUpdatePath() + "/" + QFileInfo(_record.m_fileName).fileName();
}

// Size of the image that can be served for _record, or 0: its file is
// missing, no longer the file on record, no regular file, empty or too large
// to describe in the 32-bit image size, or it is an OTA upgrade file whose
// header claims another type, version or size than the record offers it as.
quint32 servableSize(FirmwareCatalog& _catalog, const FirmwareUpdate& _record)
{
    // The path of the record's file while it is the file on record, else empty.
    const QString path = _catalog.intactFilePath(_record.m_devType);
    if (path.isEmpty())
        return 0;
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || info.size() <= 0 || info.size() > qint64(0xFFFFFFFFu) || !file.open(QIODevice::ReadOnly))
        return 0;
    QString why;
    const QByteArray head = file.read(OtaImageHeader::kMandatoryLength);
    if (OtaImageHeader::check(head, info.size(), _record.m_devType, _record.m_version, &why) ==
        OtaImageHeader::eCheckWrong) {
        LOG(lcOta, QString("not the image of type %1, version %2: %3 ('%4')")
                       .arg(_record.m_devType)
                       .arg(_record.versionString(), why, path));
        return 0;
    }
    return quint32(info.size());
}

int perMille(quint64 _done, quint64 _size)
{
    if (_size == 0)
        return 0;
    return int(qMin<quint64>(_done * 1000 / _size, 1000));
}
} // namespace

OtaServer::OtaServer(FirmwareCatalog& _catalog, ZigBeeDeviceModel& _devices, RunState& _runState, QObject* parent)
    : QObject(parent), m_catalog(_catalog), m_devices(_devices), m_runState(_runState),
      m_stickUpdate(_catalog, _runState, m_offers)
{
    CONNECT_OR_LOG(lcOta, &m_devices, &ZigBeeDeviceModel::deviceTimedOut, this, &OtaServer::deviceTimedOut);
    CONNECT_OR_LOG(lcOta, &m_stickUpdate, &StickImageUpdate::stickVersionAvailable, this,
                   &OtaServer::stickVersionAvailable);
    CONNECT_OR_LOG(lcOta, &m_stickUpdate, &StickImageUpdate::stickTextChanged, this, &OtaServer::stickTextChanged);
    CONNECT_OR_LOG(lcOta, &m_stickUpdate, &StickImageUpdate::helpUpdateRequired, this, &OtaServer::helpUpdateRequired);
}

ZigBeeDeviceModel* OtaServer::deviceModel() const
{
    return &m_devices;
}

SystemServices::SysState_t OtaServer::sysState() const
{
    return m_runState.state();
}

const FirmwareUpdate* OtaServer::recordOf(quint16 _devType) const
{
    return m_catalog.findByDevType(_devType);
}

bool OtaServer::isUpdatePossible(quint16 _devType, quint32 _version) const
{
    return m_catalog.isUpdatePossible(_devType, _version);
}

void OtaServer::deviceTimedOut(ushort _shortAddr)
{
    if (!isInUpdateList(_shortAddr)) {
        LOG(lcOta, QString("no activity %1").arg(hexDigits(_shortAddr, 4)));
        return;
    }
    removeFromUpdateList(_shortAddr);
    m_devices.failTimedOut(_shortAddr);
    LOG(lcOta, QString("no activity %1 - was in update list").arg(hexDigits(_shortAddr, 4)));
}

// ---------------------------------------------------------------------------
// Runs

void OtaServer::startDeviceUpdate(bool _start)
{
    LOG(lcOta, QString("QML action: StartDeviceUpdate %1").arg(_start ? 1 : 0));
    if (_start && !m_runState.beginDeviceRun())
        return;
    if (!_start)
        m_runState.end(RunState::eEndCancelled);
    emit helpUpdateRequired();
    clearUpdateList();
    if (ZigBeeDeviceModel* model = deviceModel()) {
        if (_start)
            model->startUpdate();
        else
            model->abortUpdate();
    }
}

void OtaServer::forgetDevices()
{
    if (!m_updateList.isEmpty())
        LOG(lcOta, QString("devices forgotten: %1 leave the update list").arg(m_updateList.size()));
    clearUpdateList();
}

void OtaServer::removeFromUpdateList(ushort _shortAddr)
{
    m_updateList.removeOne(_shortAddr);
    m_offers.remove(_shortAddr);
}

void OtaServer::clearUpdateList()
{
    for (const ushort address : qAsConst(m_updateList))
        m_offers.remove(address);
    m_updateList.clear();
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
        model->setClientState(_ind->srcShortAddress, RunPolicy::clientStateAfterQuery(_resp.status));
    }
    if (_ind->srcShortAddress != 0)
        LOG(lcOta, QString("dev: %1 status %2").arg(hexDigits(_ind->srcShortAddress, 4), statusName(_resp.status)));
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
        model->setClientState(_ind->srcShortAddress, RunPolicy::clientStateAfterBlock(_resp.status));
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
    if (DeviceType::isStick(req.imageType)) {
        if (!m_stickUpdate.isStickAddress(ind.srcShortAddress)) {
            LOG(lcOta, QString("image type %1 asked for by %2, which is not the stick")
                           .arg(req.imageType)
                           .arg(hexDigits(ind.srcShortAddress, 4)));
            resp.status = ZclNoImageAvailableStatus;
            sendZclQueryNextImageResp(_seq, &ind, resp);
            return;
        }
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
                                   .arg(hexDigits(ind.srcShortAddress, 4))
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

OtaServer::DeviceQuery OtaServer::queryOf(const _ZCL_OtauQueryNextImageReq_t& _req, const ZigBeeDevice& _device) const
{
    ZigBeeDeviceModel* model = deviceModel();
    DeviceQuery query;
    query.inRun = sysState() == SystemServices::SysStateDeviceUpdate;
    query.typeMatches = _req.imageType == _device.m_devType;
    query.checkPending = _device.m_clientState == ZigBeeDevice::eClientStateCheckWriteData;
    query.progress = _device.m_progress;
    query.reportedVersion = _req.currentFileVersion;
    query.fileVersion = _device.updateVersion();
    query.failCounter = _device.m_failCounter;
    query.inUpdateList = m_updateList.contains(_device.shortAddr);
    query.updateListEmpty = m_updateList.isEmpty();
    query.wallTransmitter = _device.isBatteryPowered();
    query.wallTransmitterAwake = [model] { return model->hasAny(ZigBeeDeviceModel::eCountTypeWallTransmitterAwake); };
    return query;
}

void OtaServer::ZclQueryNextImageReq_Device(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                            const _ZCL_OtauQueryNextImageReq_t* _req, ZigBeeDevice* _device)
{
    ZigBeeDeviceModel* model = deviceModel();
    const ushort address = _ind->srcShortAddress;
    const quint32 reportedVersion = _req->currentFileVersion;
    LOG(lcOta, QString("known device with short addr %1").arg(hexDigits(address, 4)));

    const DeviceQuery query = queryOf(*_req, *_device);
    const QueryDecision decision = RunPolicy::decideQuery(query);
    // The version in the request is what the device runs now; a version
    // named with another type's image says nothing about its own.
    const quint32 storedVersion = _device->m_version;
    if (query.typeMatches)
        model->reportVersion(address, reportedVersion);

    if (query.inRun) {
        LOG(lcOta, QString("dev ShortAddress %1, listSize %2, contain %3, Batt %4, done %5, active %6, devVer %7, "
                           "updVer %8, clientState %9, FailCounter %10")
                       .arg(hexDigits(address, 4))
                       .arg(m_updateList.size())
                       .arg(boolText(query.inUpdateList), boolText(query.wallTransmitter), boolText(_device->isDone()),
                            boolText(_device->m_clientState != ZigBeeDevice::eClientStateNoActivity),
                            hexDigits(reportedVersion, 4), hexDigits(query.fileVersion, 4), _device->clientStateName())
                       .arg(query.failCounter));
        applyQueryDecision(decision, address, reportedVersion, storedVersion, _req->imageType);
        checkUpdateStop();
    }

    _ZCL_OtauQueryNextImageResp_t resp;
    resp.manufacturerCode = _req->manufacturerCode;
    resp.imageType = _req->imageType;
    // The image of the type on record for the device, which it asked for.
    if (const FirmwareUpdate* record = recordOf(_device->m_devType); record && decision.offers()) {
        offerImage(_seq, _ind, resp, *record);
        return;
    }
    if (!query.typeMatches)
        LOG(lcOta, QString("device %1 of type %2 asks for image type %3")
                       .arg(hexDigits(address, 4))
                       .arg(_device->m_devType)
                       .arg(_req->imageType));

    const bool possible = isUpdatePossible(_req->imageType, reportedVersion);
    LOG(lcOta, QString("STATUS: shortAddr %1, devType %2 (%3), version %4: possibUpdates %5, boHasUpdate %6")
                   .arg(hexDigits(address, 4))
                   .arg(_req->imageType)
                   .arg(DeviceType::deviceTypeName(_req->imageType), versionPrefixed(formatVersion(reportedVersion)),
                        boolText(possible), boolText(_device->hasUpdate())));
    resp.status = possible ? ZclAbortStatus : ZclNoImageAvailableStatus;
    sendZclQueryNextImageResp(_seq, _ind, resp);
}

void OtaServer::applyQueryDecision(const QueryDecision& _decision, ushort _address, quint32 _reportedVersion,
                                   quint32 _storedVersion, quint16 _imageType)
{
    ZigBeeDeviceModel* model = deviceModel();
    ZigBeeDevice* device = model->findDevice(_address);
    if (_decision.check != QueryDecision::eCheckNone) {
        const bool success = _decision.check == QueryDecision::eCheckSuccess;
        LOG(lcOta, QString("ver from dev %1, update %2 ver %3; success %4")
                       .arg(hexDigits(_reportedVersion, 4), hexDigits(device->updateVersion(), 4),
                            hexDigits(_storedVersion, 4))
                       .arg(success ? 1 : 0));
        model->verifyUpdate(_address, _reportedVersion, success);
        LOG(lcOta, QString("eClientStateCheckWriteData ShortAddress %1, FailCounter %2: Result %3")
                       .arg(hexDigits(_address, 4))
                       .arg(device->m_failCounter)
                       .arg(device->resultName()));
    }
    switch (_decision.step) {
    case QueryDecision::eStepRestart:
        LOG(lcOta, QString("RE-starting update shortAddr %1").arg(hexDigits(_address, 4)));
        model->countFailure(_address, ProgressHelper::eResultStart);
        break;
    case QueryDecision::eStepGiveUp:
        LOG(lcOta, QString("RE-starting update shortAddr %1").arg(hexDigits(_address, 4)));
        model->countFailure(_address, ProgressHelper::eResultVerifFail);
        // Given up: it must not keep the other devices waiting.
        removeFromUpdateList(_address);
        break;
    case QueryDecision::eStepLeave:
        LOG(lcOta, QString("shortAddr %1 reports %2 in mid-transfer: nothing newer to offer, off the update list")
                       .arg(hexDigits(_address, 4), hexDigits(_reportedVersion, 4)));
        removeFromUpdateList(_address);
        break;
    case QueryDecision::eStepWrongType:
        LOG(lcOta, QString("device %1 of type %2 asks for image type %3: failed attempt %4")
                       .arg(hexDigits(_address, 4))
                       .arg(device->m_devType)
                       .arg(_imageType)
                       .arg(device->m_failCounter + 1));
        model->countFailure(_address, ProgressHelper::eResultFail);
        removeFromUpdateList(_address);
        break;
    case QueryDecision::eStepStart:
        LOG(lcOta, QString("starting update shortAddr %1").arg(hexDigits(_address, 4)));
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
    if (makeOffer(address, _resp, _record)) {
        model->startTransfer(address);
        sendZclQueryNextImageResp(_seq, _ind, _resp);
        return;
    }
    model->giveUp(address, ProgressHelper::eResultMissingFile);
    removeFromUpdateList(address);
    sendZclQueryNextImageResp(_seq, _ind, _resp);
    // The one answer to this request has gone out.
    checkUpdateStop();
}

void OtaServer::ZclQueryNextImageReq_Stick(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                           const _ZCL_OtauQueryNextImageReq_t* _req)
{
    _ZCL_OtauQueryNextImageResp_t resp;
    resp.manufacturerCode = _req->manufacturerCode;
    resp.imageType = _req->imageType;
    if (const FirmwareUpdate* record = m_stickUpdate.query(_req->currentFileVersion)) {
        // Nothing to serve: the stick update cannot go on.
        if (!makeOffer(_ind->srcShortAddress, resp, *record))
            m_stickUpdate.fail("no stick image to offer");
        sendZclQueryNextImageResp(_seq, _ind, resp);
        return;
    }
    resp.status =
        isUpdatePossible(DeviceType::UsbStick, _req->currentFileVersion) ? ZclAbortStatus : ZclNoImageAvailableStatus;
    sendZclQueryNextImageResp(_seq, _ind, resp);
}

bool OtaServer::makeOffer(ushort _address, _ZCL_OtauQueryNextImageResp_t& _resp, const FirmwareUpdate& _record)
{
    const QString path = servedFilePath(_record);
    const quint32 size = servableSize(m_catalog, _record);
    if (size == 0) {
        LOG(lcOta, QString("missing file or file empty '%1'").arg(path));
        _resp.status = ZclNoImageAvailableStatus;
        return false;
    }
    _resp.status = ZclSuccessStatus;
    _resp.fileVersion = _record.m_version;
    _resp.imageSize = size;
    Offer offer;
    offer.manufacturerCode = _resp.manufacturerCode;
    offer.imageType = _resp.imageType;
    offer.fileVersion = _resp.fileVersion;
    offer.imageSize = _resp.imageSize;
    m_offers.insert(_address, offer);
    return true;
}

// ---------------------------------------------------------------------------
// Image Block

void OtaServer::ZclImageBlockReq(unsigned char _seq, const QByteArray _payload)
{
    _IsdCommandIndication_t ind;
    _ZCL_OtauImageBlockReq_t req;
    if (!readRequest("ImageBlockReq", _payload, ind, req))
        return;

    const ushort address = ind.srcShortAddress;
    const bool forStick = DeviceType::isStick(req.imageType);
    const bool fromStick = forStick && m_stickUpdate.isStickAddress(address);
    if (fromStick)
        m_stickUpdate.heard();
    ZigBeeDeviceModel* model = deviceModel();
    const ZigBeeDevice* device = model && !forStick ? model->findDevice(address) : nullptr;
    const auto offer = m_offers.constFind(address);

    BlockRequest request;
    request.manufacturerCode = req.manufacturerCode;
    request.imageType = req.imageType;
    request.fileVersion = req.fileVersion;
    request.hasRecord = recordOf(req.imageType) != nullptr;
    request.state = sysState();
    request.fromStick = fromStick;
    request.deviceKnown = device != nullptr;
    request.inUpdateList = m_updateList.contains(address);
    request.offer = offer != m_offers.constEnd() ? &offer.value() : nullptr;
    const BlockVerdict_t verdict = RunPolicy::decideBlock(request);

    if (verdict == RunPolicy::eBlockServe) {
        serveBlock(_seq, ind, req, *recordOf(req.imageType));
        return;
    }
    _ZCL_OtauImageBlockResp_t resp;
    if (verdict == RunPolicy::eBlockForeignManufacturer) {
        resp.status = ZclNoImageAvailableStatus;
        sendZclImageBlockResp(_seq, &ind, resp, QByteArray());
        return;
    }
    logRefusal(verdict, ind, req);
    if (device && (verdict == RunPolicy::eBlockDeviceWrongState || verdict == RunPolicy::eBlockNotInList))
        model->resetTiming(address);
    // Requests outside a running update, or for something not offered, are
    // refused so the client stops.
    resp.manufacturerCode = req.manufacturerCode;
    resp.imageType = req.imageType;
    resp.fileVersion = req.fileVersion;
    resp.fileOffset = req.fileOffset;
    resp.status = ZclAbortStatus;
    resp.dataSize = 0;
    sendZclImageBlockResp(_seq, &ind, resp, QByteArray());
    LOG(lcOta, "send ZCL_ABORT_STATUS");
}

void OtaServer::logRefusal(BlockVerdict_t _verdict, const _IsdCommandIndication_t& _ind,
                           const _ZCL_OtauImageBlockReq_t& _req)
{
    const QString address = hexDigits(_ind.srcShortAddress, 4);
    switch (_verdict) {
    case RunPolicy::eBlockUnknownType:
        LOG(lcOta, QString("unknown device type; imageType %1").arg(_req.imageType));
        break;
    case RunPolicy::eBlockStickWrongState:
        LOG(lcOta, "stick but wrong state");
        break;
    case RunPolicy::eBlockNotTheStick:
        LOG(lcOta, QString("image type %1 asked for by %2, which is not the stick").arg(_req.imageType).arg(address));
        break;
    case RunPolicy::eBlockDeviceWrongState:
        LOG(lcOta, "device but wrong state");
        break;
    case RunPolicy::eBlockUnknownDevice:
        LOG(lcOta, "unknown device");
        break;
    case RunPolicy::eBlockNotInList:
        LOG(lcOta, QString("device %1 not in list of devices currently updated").arg(address));
        break;
    case RunPolicy::eBlockNotOffered:
        LOG(lcOta, QString("device %1 asks for manufacturer %2, image type %3, version %4, which it was not offered")
                       .arg(address, hexDigits(_req.manufacturerCode, 4), hexDigits(_req.imageType, 4),
                            hexDigits(_req.fileVersion, 8)));
        break;
    case RunPolicy::eBlockServe:
    case RunPolicy::eBlockForeignManufacturer:
        break;
    }
}

void OtaServer::serveBlock(unsigned char _seq, const _IsdCommandIndication_t& _ind,
                           const _ZCL_OtauImageBlockReq_t& _req, const FirmwareUpdate& _record)
{
    const ushort address = _ind.srcShortAddress;
    Offer& offer = m_offers[address];
    _ZCL_OtauImageBlockResp_t resp;
    resp.manufacturerCode = _req.manufacturerCode;
    resp.imageType = _req.imageType;
    resp.fileVersion = _req.fileVersion;
    resp.fileOffset = _req.fileOffset;
    resp.dataSize = 0;
    const bool isStick = DeviceType::isStick(_req.imageType);

    const QString path = servedFilePath(_record);
    // Unbuffered: a buffered read would fetch far more than one block. The
    // size comes from the open file; opening refuses a directory. A file that
    // is no longer the one offered, or no longer the one on record, is not
    // served either; as long as it is unchanged the latter costs no hashing.
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const qint64 fileSize = opened ? file.size() : 0;
    const bool intact = opened && m_catalog.isIntact(_record.m_devType, file);
    if (fileSize <= 0 || fileSize != qint64(offer.imageSize) || !intact) {
        const QString why = !opened                               ? file.errorString()
                            : fileSize != qint64(offer.imageSize) ? QString("size changed")
                                                                  : QString("not the file on record");
        LOG(lcOta, QString("file error %1 name %2").arg(why, path));
        if (isStick) {
            m_stickUpdate.fail("the stick image cannot be read");
        } else {
            ZigBeeDeviceModel* model = deviceModel();
            model->setDone(model->rowOf(address), ProgressHelper::eResultFail);
        }
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
    if (!isStick)
        LOG(lcOta, QString("DEV - file name %1 sending data from offset %2 bytes %3")
                       .arg(path)
                       .arg(_req.fileOffset)
                       .arg(data.size()));
    recordServed(address, offer, _req.fileOffset, data.size(), _record);
}

void OtaServer::recordServed(ushort _address, Offer& _offer, quint32 _offset, int _bytes, const FirmwareUpdate& _record)
{
    // Progress counts the bytes served from the start without a gap: a
    // request far ahead, or at the last offset, does not make it complete.
    const bool first = _offset == 0;
    const bool wasComplete = _offer.servedEnd >= _offer.imageSize;
    if (_offset <= _offer.servedEnd)
        _offer.servedEnd = qMax<quint32>(_offer.servedEnd, _offset + quint32(_bytes));
    const bool complete = _offer.servedEnd >= _offer.imageSize;
    const int progress = perMille(_offer.servedEnd, _offer.imageSize);

    if (DeviceType::isStick(_record.m_devType)) {
        m_stickUpdate.setProgress(progress);
        return;
    }
    ZigBeeDeviceModel* model = deviceModel();
    const int duration = model->recordBlock(_address, progress, first, complete && !wasComplete);
    if (!complete || wasComplete)
        return;
    // The file list keeps the average and writes it.
    emit durationMeasured(_record.m_devType, duration);
    const FirmwareUpdate* record = recordOf(_record.m_devType);
    LOG(lcOta, QString("updating dev %1 took %2 seconds; new avg update duration %3")
                   .arg(model->findDevice(_address)->name())
                   .arg(duration)
                   .arg(record ? record->m_duration : -1));
}

// ---------------------------------------------------------------------------
// Upgrade End

void OtaServer::ZclUpgradeEndReq(unsigned char _seq, const QByteArray _payload)
{
    _IsdCommandIndication_t ind;
    _ZCL_OtauUpgradeEndReq_t req;
    if (!readRequest("UpgradeEndReq", _payload, ind, req))
        return;

    LOG(lcOta, QString("UpgradeEndReq: status %1, manufacturerId %2, imageType '%3', firmwareVersion %4")
                   .arg(hexDigits(req.status, 2), hexDigits(req.manufacturerCode, 4), hexDigits(req.imageType, 4),
                        hexDigits(req.fileVersion, 8)));

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
    const bool offered = m_offers.contains(address);
    if (DeviceType::isStick(req.imageType)) {
        if (sysState() == SystemServices::SysStateStickUpdate && offered && m_stickUpdate.isStickAddress(address)) {
            m_stickUpdate.upgradeEnd(address, req.status);
            return;
        }
    } else if (sysState() == SystemServices::SysStateDeviceUpdate && offered && m_updateList.contains(address)) {
        deviceUpgradeEnd(address, req.status);
        return;
    }
    // Nothing was offered to this address in this update: nothing to end.
    LOG(lcOta, QString("WRONG - END from %1").arg(hexDigits(address, 4)));
}

void OtaServer::deviceUpgradeEnd(ushort _address, quint8 _status)
{
    ZigBeeDeviceModel* model = deviceModel();
    model->updateActivity(_address);
    removeFromUpdateList(_address);
    if (_status == 0) {
        LOG(lcOta, QString("DEV - END - removeFromUpdateList %1").arg(hexDigits(_address, 4)));
        model->setClientState(_address, ZigBeeDevice::eClientStateCheckWriteData);
        model->setDone(model->rowOf(_address), ProgressHelper::eResultWaiting);
        return;
    }
    // The device refused the image: one failed attempt, as a restart with the old version is.
    LOG(lcOta, QString("DEV - END with status %1 - removeFromUpdateList %2")
                   .arg(hexDigits(_status, 2), hexDigits(_address, 4)));
    model->setClientState(_address, ZigBeeDevice::eClientStateAbortUpdate);
    model->countFailure(_address, ProgressHelper::eResultVerifFail);
    checkUpdateStop();
}
