#pragma once

#include <QByteArray>
#include <QtGlobal>

// Frame bodies as the stick sends them, and the fields of the tool's replies.
namespace StickFrames {

constexpr quint16 kManufacturer = 0x1C3D;

QByteArray connectRequest();
QByteArray command(quint8 _seq, quint8 _code, const QByteArray& _payload = QByteArray());
QByteArray networkStatus(quint8 _seq, quint8 _state, quint8 _channel, quint64 _nwkId, quint16 _shortAddr);

// A ZCL indication from _shortAddr (address mode 2, extended address 01..08,
// profile 0x0104, endpoint 0x0B, OTA cluster 0x0019) carrying _zcl.
QByteArray indication(quint16 _shortAddr, quint8 _commandId, const QByteArray& _zcl);
QByteArray queryNextImage(quint8 _seq, quint16 _shortAddr, quint16 _imageType, quint32 _version,
                          quint16 _manufacturer = kManufacturer);
// Asks for file version _version (by default 1.2.3, the tests' usual device file).
QByteArray imageBlock(quint8 _seq, quint16 _shortAddr, quint16 _imageType, quint32 _offset, quint8 _maxSize,
                      quint16 _manufacturer = kManufacturer, quint32 _version = 0x00010203);
QByteArray upgradeEnd(quint8 _seq, quint16 _shortAddr, quint16 _imageType, quint32 _version, quint8 _status = 0,
                      quint16 _manufacturer = kManufacturer);

// A ZCL reply body: 04, seq, 0x10, 20-byte header, response.
struct ZclReply
{
    bool valid = false;
    quint8 seq = 0;
    quint16 dstShortAddress = 0;
    quint8 responseId = 0;
    QByteArray response; // the bytes after the header

    quint8 status() const;        // Query Next Image and Image Block responses
    quint32 fileVersion() const;  // offset 5 of those responses
    quint32 imageSize() const;    // Query Next Image response
    quint32 fileOffset() const;   // Image Block response
    QByteArray blockData() const; // Image Block response
};
ZclReply parseReply(const QByteArray& _body);

} // namespace StickFrames
