#pragma once

#include <array>

#include <QByteArray>
#include <QtGlobal>

// Wire records of the stick protocol and of the OTA Upgrade cluster. Every
// record is read and written field by field, little-endian, with an explicit
// length check; received bytes are never reinterpreted in place.
//
// readFrom() fails (and leaves the record untouched) when fewer than kSize
// bytes follow _offset; bytes after the record are not looked at, so requests
// may carry optional trailing fields. appendTo() appends exactly kSize bytes.

namespace OtaRecords {

constexpr quint16 kManufacturerCode = 0x1C3D;
constexpr int kMaxBlockSize = 40;

// ZCL OTA Upgrade cluster command identifiers.
enum : quint8
{
    QueryNextImageReqId = 0x01,
    QueryNextImageRespId = 0x02,
    ImageBlockReqId = 0x03,
    ImageBlockRespId = 0x05,
    UpgradeEndReqId = 0x06,
    UpgradeEndRespId = 0x07,
};

// ZCL status values.
enum : quint8
{
    ZclSuccessStatus = 0x00,
    ZclAbortStatus = 0x95,
    ZclNoImageAvailableStatus = 0x98,
};

// The log name of a ZCL status.
const char* statusName(quint8 _status);

quint8 readU8(const QByteArray& _data, int _offset);
quint16 readU16(const QByteArray& _data, int _offset);
quint32 readU32(const QByteArray& _data, int _offset);
void appendU8(QByteArray& _out, quint8 _value);
void appendU16(QByteArray& _out, quint16 _value);
void appendU32(QByteArray& _out, quint32 _value);
// Whether _size bytes lie in _data from _offset on.
bool fits(const QByteArray& _data, int _offset, int _size);

} // namespace OtaRecords

// Header of a ZCL command relayed by the stick (payload of command 0x10).
struct _IsdCommandIndication_t
{
    static constexpr int kSize = 20;

    quint8 srcAddrMode = 0;
    quint16 srcShortAddress = 0;
    std::array<quint8, 8> srcExtAddress{};
    quint16 srcProfileId = 0;
    quint8 srcEndpointId = 0;
    quint16 srcClusterId = 0;
    quint16 clusterId = 0;
    quint8 direction = 0;
    quint8 commandId = 0;

    bool readFrom(const QByteArray& _data, int _offset = 0);
    QByteArray extAddressBytes() const;
    // The IEEE address as a number (the bytes arrive least significant first).
    quint64 extAddress() const;
};

// Header of the reply to an indication: addressed back to its sender.
struct _IsdCommandResp_t
{
    static constexpr int kSize = 20;

    quint8 dstAddrMode = 0;
    quint16 dstShortAddress = 0;
    std::array<quint8, 8> dstExtAddress{};
    quint16 profileId = 0;
    quint8 srcEndpointId = 0x10;
    quint8 dstEndpointId = 0;
    quint16 clusterId = 0;
    quint8 reserved1 = 0x01;
    quint8 reserved2 = 0x01;
    quint8 commandId = 0;

    static _IsdCommandResp_t answering(const _IsdCommandIndication_t& _ind, quint8 _responseId);
    void appendTo(QByteArray& _out) const;
};

struct _ZCL_OtauQueryNextImageReq_t
{
    static constexpr int kSize = 9;

    quint8 fieldControl = 0;
    quint16 manufacturerCode = 0;
    quint16 imageType = 0;
    quint32 currentFileVersion = 0;

    bool readFrom(const QByteArray& _data, int _offset = 0);
};

struct _ZCL_OtauImageBlockReq_t
{
    static constexpr int kSize = 14;

    quint8 fieldControl = 0;
    quint16 manufacturerCode = 0;
    quint16 imageType = 0;
    quint32 fileVersion = 0;
    quint32 fileOffset = 0;
    quint8 maxDataSize = 0;

    bool readFrom(const QByteArray& _data, int _offset = 0);
};

struct _ZCL_OtauUpgradeEndReq_t
{
    static constexpr int kSize = 9;

    quint8 status = 0;
    quint16 manufacturerCode = 0;
    quint16 imageType = 0;
    quint32 fileVersion = 0;

    bool readFrom(const QByteArray& _data, int _offset = 0);
};

struct _ZCL_OtauQueryNextImageResp_t
{
    static constexpr int kSize = 13;

    quint8 status = 0;
    quint16 manufacturerCode = 0;
    quint16 imageType = 0;
    quint32 fileVersion = 0;
    quint32 imageSize = 0;

    void appendTo(QByteArray& _out) const;
};

struct _ZCL_OtauImageBlockResp_t
{
    static constexpr int kSize = 14;

    quint8 status = 0;
    quint16 manufacturerCode = 0;
    quint16 imageType = 0;
    quint32 fileVersion = 0;
    quint32 fileOffset = 0;
    quint8 dataSize = 0;

    void appendTo(QByteArray& _out) const;
};

struct _ZCL_OtauUpgradeEndResp_t
{
    static constexpr int kSize = 16;

    quint16 manufacturerCode = 0;
    quint16 imageType = 0;
    quint32 fileVersion = 0;
    quint32 currentTime = 0;
    quint32 upgradeTime = 0;

    void appendTo(QByteArray& _out) const;
};

// The network status the stick reports (payload of command 0x02).
struct _NwkStatus_t
{
    static constexpr int kSize = 12;

    quint8 nwkState = 0;
    quint8 channel = 0;
    std::array<quint8, 8> nwkId{};
    quint16 shortAddr = 0;

    bool readFrom(const QByteArray& _data, int _offset = 0);
};
