#pragma once

#include <QByteArray>
#include <QString>

// Frame types, command codes and records of the stick link and of the ZCL OTA
// Upgrade cluster, as the stick builds and reads them. All multi-byte fields
// are little-endian.
namespace SimWire {

enum FrameType_t : quint8
{
    eFrameConnectRequest = 0x01,
    eFrameConnectAccept = 0x02,
    eFrameCommandRequest = 0x03,
    eFrameCommandReply = 0x04,
};

enum Command_t : quint8
{
    eCmdResetToFNReq = 0x01,
    eCmdNwkStatusReq = 0x02,
    eCmdZclIndication = 0x10,
};

enum ZclCommand_t : quint8
{
    eZclQueryNextImageReq = 0x01,
    eZclQueryNextImageResp = 0x02,
    eZclImageBlockReq = 0x03,
    eZclImageBlockResp = 0x05,
    eZclUpgradeEndReq = 0x06,
    eZclUpgradeEndResp = 0x07,
};

enum ZclStatus_t : quint8
{
    eZclSuccess = 0x00,
    eZclAbort = 0x95,
    eZclInvalidImage = 0x96,
    eZclNoImageAvailable = 0x98,
};

constexpr int kIndicationHeaderSize = 20; // _IsdCommandIndication_t
constexpr int kReplyHeaderSize = 20;      // _IsdCommandResp_t
constexpr int kNwkStatusSize = 12;
constexpr int kQueryNextImageRespSize = 13;
constexpr int kImageBlockRespSize = 14; // without the data
constexpr int kUpgradeEndRespSize = 16;
constexpr quint16 kProfileHomeAutomation = 0x0104;
constexpr quint16 kClusterOta = 0x0019;

void putU16(QByteArray& _out, quint16 _value);
void putU32(QByteArray& _out, quint32 _value);
// Bounds-checked little-endian reads: 0 when the field lies outside _data.
quint8 u8At(const QByteArray& _data, int _offset);
quint16 u16At(const QByteArray& _data, int _offset);
quint32 u32At(const QByteArray& _data, int _offset);

// The IEEE address a simulated device carries: derived from its short
// address so that every run of a scenario shows the same one.
QByteArray extendedAddress(quint16 _shortAddress);

QByteArray indicationHeader(quint16 _shortAddress, quint8 _endpoint, quint8 _zclCommand);
QByteArray nwkStatusRecord(quint8 _state, quint8 _channel, const QByteArray& _networkId, quint16 _shortAddress);

QString statusName(quint8 _status);
QString hex16(quint16 _value); // four lower-case digits, as the tool names devices
QString versionText(quint32 _version);

} // namespace SimWire
