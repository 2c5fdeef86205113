#include "StickFrames.h"

#include "link/OtaRecords.h"

using namespace OtaRecords;

namespace StickFrames {

QByteArray connectRequest()
{
    return QByteArray(1, char(0x01));
}

QByteArray command(quint8 _seq, quint8 _code, const QByteArray& _payload)
{
    QByteArray frame;
    appendU8(frame, 0x03);
    appendU8(frame, _seq);
    appendU8(frame, _code);
    return frame + _payload;
}

QByteArray networkStatus(quint8 _seq, quint8 _state, quint8 _channel, quint64 _nwkId, quint16 _shortAddr)
{
    QByteArray payload;
    appendU8(payload, _state);
    appendU8(payload, _channel);
    appendU32(payload, quint32(_nwkId));
    appendU32(payload, quint32(_nwkId >> 32));
    appendU16(payload, _shortAddr);
    return command(_seq, 0x02, payload);
}

QByteArray indication(quint16 _shortAddr, quint8 _commandId, const QByteArray& _zcl)
{
    QByteArray payload;
    appendU8(payload, 0x02);
    appendU16(payload, _shortAddr);
    payload += QByteArray::fromHex("0102030405060708");
    appendU16(payload, 0x0104);
    appendU8(payload, 0x0B);
    appendU16(payload, 0x0019);
    appendU16(payload, 0x0019);
    appendU8(payload, 0x00);
    appendU8(payload, _commandId);
    return payload + _zcl;
}

QByteArray queryNextImage(quint8 _seq, quint16 _shortAddr, quint16 _imageType, quint32 _version, quint16 _manufacturer)
{
    QByteArray zcl;
    appendU8(zcl, 0x00);
    appendU16(zcl, _manufacturer);
    appendU16(zcl, _imageType);
    appendU32(zcl, _version);
    return command(_seq, 0x10, indication(_shortAddr, 0x01, zcl));
}

QByteArray imageBlock(quint8 _seq, quint16 _shortAddr, quint16 _imageType, quint32 _offset, quint8 _maxSize,
                      quint16 _manufacturer, quint32 _version)
{
    QByteArray zcl;
    appendU8(zcl, 0x00);
    appendU16(zcl, _manufacturer);
    appendU16(zcl, _imageType);
    appendU32(zcl, _version);
    appendU32(zcl, _offset);
    appendU8(zcl, _maxSize);
    return command(_seq, 0x10, indication(_shortAddr, 0x03, zcl));
}

QByteArray upgradeEnd(quint8 _seq, quint16 _shortAddr, quint16 _imageType, quint32 _version, quint8 _status,
                      quint16 _manufacturer)
{
    QByteArray zcl;
    appendU8(zcl, _status);
    appendU16(zcl, _manufacturer);
    appendU16(zcl, _imageType);
    appendU32(zcl, _version);
    return command(_seq, 0x10, indication(_shortAddr, 0x06, zcl));
}

ZclReply parseReply(const QByteArray& _body)
{
    ZclReply reply;
    if (!fits(_body, 0, 23) || readU8(_body, 0) != 0x04 || readU8(_body, 2) != 0x10)
        return reply;
    reply.valid = true;
    reply.seq = readU8(_body, 1);
    reply.dstShortAddress = readU16(_body, 4);
    reply.responseId = readU8(_body, 22);
    reply.response = _body.mid(23);
    return reply;
}

quint8 ZclReply::status() const
{
    return readU8(response, 0);
}

quint32 ZclReply::fileVersion() const
{
    return readU32(response, 5);
}

quint32 ZclReply::imageSize() const
{
    return readU32(response, 9);
}

quint32 ZclReply::fileOffset() const
{
    return readU32(response, 9);
}

QByteArray ZclReply::blockData() const
{
    return response.mid(14, readU8(response, 13));
}

} // namespace StickFrames
