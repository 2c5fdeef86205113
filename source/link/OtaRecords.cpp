#include "OtaRecords.h"

namespace OtaRecords {

const char* statusName(quint8 _status)
{
    switch (_status) {
    case ZclSuccessStatus:
        return "ZCL_SUCCESS_STATUS";
    case ZclAbortStatus:
        return "ZCL_ABORT_STATUS";
    case ZclNoImageAvailableStatus:
        return "ZCL_NO_IMAGE_AVAILABLE_STATUS";
    default:
        return "unknown_status";
    }
}

bool fits(const QByteArray& _data, int _offset, int _size)
{
    return _offset >= 0 && _size >= 0 && _offset <= _data.size() && _data.size() - _offset >= _size;
}

// The readers are only called after fits() for the whole record; the checks
// here keep a wrong caller from reading past the buffer.
quint8 readU8(const QByteArray& _data, int _offset)
{
    if (!fits(_data, _offset, 1))
        return 0;
    return quint8(_data.at(_offset));
}

quint16 readU16(const QByteArray& _data, int _offset)
{
    if (!fits(_data, _offset, 2))
        return 0;
    return quint16(quint8(_data.at(_offset)) | (quint16(quint8(_data.at(_offset + 1))) << 8));
}

quint32 readU32(const QByteArray& _data, int _offset)
{
    if (!fits(_data, _offset, 4))
        return 0;
    return quint32(readU16(_data, _offset)) | (quint32(readU16(_data, _offset + 2)) << 16);
}

void appendU8(QByteArray& _out, quint8 _value)
{
    _out.append(char(_value));
}

void appendU16(QByteArray& _out, quint16 _value)
{
    _out.append(char(_value & 0xFF));
    _out.append(char(_value >> 8));
}

void appendU32(QByteArray& _out, quint32 _value)
{
    appendU16(_out, quint16(_value & 0xFFFF));
    appendU16(_out, quint16(_value >> 16));
}

namespace {
void readBytes(const QByteArray& _data, int _offset, std::array<quint8, 8>& _out)
{
    for (int i = 0; i < int(_out.size()); ++i)
        _out[size_t(i)] = readU8(_data, _offset + i);
}

void appendBytes(QByteArray& _out, const std::array<quint8, 8>& _bytes)
{
    for (quint8 byte : _bytes)
        _out.append(char(byte));
}
} // namespace

} // namespace OtaRecords

using namespace OtaRecords;

bool _IsdCommandIndication_t::readFrom(const QByteArray& _data, int _offset)
{
    if (!fits(_data, _offset, kSize))
        return false;
    srcAddrMode = readU8(_data, _offset + 0);
    srcShortAddress = readU16(_data, _offset + 1);
    readBytes(_data, _offset + 3, srcExtAddress);
    srcProfileId = readU16(_data, _offset + 11);
    srcEndpointId = readU8(_data, _offset + 13);
    srcClusterId = readU16(_data, _offset + 14);
    clusterId = readU16(_data, _offset + 16);
    direction = readU8(_data, _offset + 18);
    commandId = readU8(_data, _offset + 19);
    return true;
}

quint64 _IsdCommandIndication_t::extAddress() const
{
    quint64 value = 0;
    for (int i = int(srcExtAddress.size()) - 1; i >= 0; --i)
        value = (value << 8) | srcExtAddress[size_t(i)];
    return value;
}

QByteArray _IsdCommandIndication_t::extAddressBytes() const
{
    QByteArray bytes;
    appendBytes(bytes, srcExtAddress);
    return bytes;
}

_IsdCommandResp_t _IsdCommandResp_t::answering(const _IsdCommandIndication_t& _ind, quint8 _responseId)
{
    _IsdCommandResp_t resp;
    resp.dstAddrMode = _ind.srcAddrMode;
    resp.dstShortAddress = _ind.srcShortAddress;
    resp.dstExtAddress = _ind.srcExtAddress;
    resp.profileId = _ind.srcProfileId;
    resp.dstEndpointId = _ind.srcEndpointId;
    resp.clusterId = _ind.srcClusterId;
    resp.commandId = _responseId;
    return resp;
}

void _IsdCommandResp_t::appendTo(QByteArray& _out) const
{
    appendU8(_out, dstAddrMode);
    appendU16(_out, dstShortAddress);
    appendBytes(_out, dstExtAddress);
    appendU16(_out, profileId);
    appendU8(_out, srcEndpointId);
    appendU8(_out, dstEndpointId);
    appendU16(_out, clusterId);
    appendU8(_out, reserved1);
    appendU8(_out, reserved2);
    appendU8(_out, commandId);
}

bool _ZCL_OtauQueryNextImageReq_t::readFrom(const QByteArray& _data, int _offset)
{
    if (!fits(_data, _offset, kSize))
        return false;
    fieldControl = readU8(_data, _offset + 0);
    manufacturerCode = readU16(_data, _offset + 1);
    imageType = readU16(_data, _offset + 3);
    currentFileVersion = readU32(_data, _offset + 5);
    return true;
}

bool _ZCL_OtauImageBlockReq_t::readFrom(const QByteArray& _data, int _offset)
{
    if (!fits(_data, _offset, kSize))
        return false;
    fieldControl = readU8(_data, _offset + 0);
    manufacturerCode = readU16(_data, _offset + 1);
    imageType = readU16(_data, _offset + 3);
    fileVersion = readU32(_data, _offset + 5);
    fileOffset = readU32(_data, _offset + 9);
    maxDataSize = readU8(_data, _offset + 13);
    return true;
}

bool _ZCL_OtauUpgradeEndReq_t::readFrom(const QByteArray& _data, int _offset)
{
    if (!fits(_data, _offset, kSize))
        return false;
    status = readU8(_data, _offset + 0);
    manufacturerCode = readU16(_data, _offset + 1);
    imageType = readU16(_data, _offset + 3);
    fileVersion = readU32(_data, _offset + 5);
    return true;
}

void _ZCL_OtauQueryNextImageResp_t::appendTo(QByteArray& _out) const
{
    appendU8(_out, status);
    appendU16(_out, manufacturerCode);
    appendU16(_out, imageType);
    appendU32(_out, fileVersion);
    appendU32(_out, imageSize);
}

void _ZCL_OtauImageBlockResp_t::appendTo(QByteArray& _out) const
{
    appendU8(_out, status);
    appendU16(_out, manufacturerCode);
    appendU16(_out, imageType);
    appendU32(_out, fileVersion);
    appendU32(_out, fileOffset);
    appendU8(_out, dataSize);
}

void _ZCL_OtauUpgradeEndResp_t::appendTo(QByteArray& _out) const
{
    appendU16(_out, manufacturerCode);
    appendU16(_out, imageType);
    appendU32(_out, fileVersion);
    appendU32(_out, currentTime);
    appendU32(_out, upgradeTime);
}

bool _NwkStatus_t::readFrom(const QByteArray& _data, int _offset)
{
    if (!fits(_data, _offset, kSize))
        return false;
    nwkState = readU8(_data, _offset + 0);
    channel = readU8(_data, _offset + 1);
    readBytes(_data, _offset + 2, nwkId);
    shortAddr = readU16(_data, _offset + 10);
    return true;
}
