#include "SimWire.h"

#include "common/common.h"

namespace SimWire {

void putU16(QByteArray& _out, quint16 _value)
{
    _out.append(char(_value & 0xFF));
    _out.append(char(_value >> 8));
}

void putU32(QByteArray& _out, quint32 _value)
{
    putU16(_out, quint16(_value & 0xFFFF));
    putU16(_out, quint16(_value >> 16));
}

quint8 u8At(const QByteArray& _data, int _offset)
{
    if (_offset < 0 || _offset >= _data.size())
        return 0;
    return quint8(_data.at(_offset));
}

quint16 u16At(const QByteArray& _data, int _offset)
{
    if (_offset < 0 || _offset > _data.size() - 2)
        return 0;
    return quint16(u8At(_data, _offset) | (u8At(_data, _offset + 1) << 8));
}

quint32 u32At(const QByteArray& _data, int _offset)
{
    if (_offset < 0 || _offset > _data.size() - 4)
        return 0;
    return quint32(u16At(_data, _offset)) | (quint32(u16At(_data, _offset + 2)) << 16);
}

QByteArray extendedAddress(quint16 _shortAddress)
{
    QByteArray ext;
    putU16(ext, _shortAddress);
    ext.append(QByteArray::fromHex("0000feca5e02")); // fixed, locally administered upper part
    return ext;
}

QByteArray indicationHeader(quint16 _shortAddress, quint8 _endpoint, quint8 _zclCommand)
{
    QByteArray header;
    header.reserve(kIndicationHeaderSize);
    header.append(char(2)); // short address mode
    putU16(header, _shortAddress);
    header.append(extendedAddress(_shortAddress));
    putU16(header, kProfileHomeAutomation);
    header.append(char(_endpoint));
    putU16(header, kClusterOta); // srcClusterId
    putU16(header, kClusterOta); // clusterId
    header.append(char(0));      // direction: client to server
    header.append(char(_zclCommand));
    return header;
}

QByteArray nwkStatusRecord(quint8 _state, quint8 _channel, const QByteArray& _networkId, quint16 _shortAddress)
{
    QByteArray record;
    record.append(char(_state));
    record.append(char(_channel));
    record.append(_networkId.left(8).leftJustified(8, '\0'));
    putU16(record, _shortAddress);
    return record;
}

QString statusName(quint8 _status)
{
    switch (_status) {
    case eZclSuccess:
        return "0x00 success";
    case eZclAbort:
        return "0x95 abort";
    case eZclInvalidImage:
        return "0x96 invalid image";
    case eZclNoImageAvailable:
        return "0x98 no image";
    default:
        return QString("0x%1 unknown").arg(_status, 2, 16, QChar('0'));
    }
}

QString hex16(quint16 _value)
{
    return QString("%1").arg(_value, 4, 16, QChar('0'));
}

QString versionText(quint32 _version)
{
    return "v" + formatVersion(_version);
}

} // namespace SimWire
