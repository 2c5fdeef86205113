#pragma once

#include <QByteArray>

// Wire format of the stick link: 0x7E, escaped body and CRC-16/X-25 (low byte
// first), 0x7E. Bytes 0x7E and 0x7D inside are sent as 0x7D, byte ^ 0x20.
class FrameCodec
{
public:
    static constexpr char kDelimiter = 0x7E;
    static constexpr char kEscape = 0x7D;
    static constexpr quint16 kGoodResidue = 0x0F47;

    // The longest frame either side sends is a command reply carrying an
    // image block response with 40 bytes of data: 77 bytes of body, 79 with
    // the CRC, at most 158 between the delimiters once every byte is escaped.
    // Whatever the stick relays from the radio fits a 127-byte 802.15.4 frame:
    // with the 23 bytes of command header and the CRC at most 152 bytes, 304
    // escaped.
    // A frame with more than kMaxFrameBytes between its delimiters (more than
    // three times that) cannot come from a working stick; it is dropped
    // before it is held, so memory stays bounded whatever the line carries.
    static constexpr int kMaxFrameBytes = 1024;
    // Log lines show at most this many bytes of a frame and count the rest:
    // every frame of the protocol, its CRC included, is shown whole.
    static constexpr int kMaxLoggedBytes = 80;

    // One byte of CRC-16/X-25 (polynomial 0x8408, reflected) without a table.
    // The shift-and-XOR form gives the same result as eight single-bit steps
    // for every state and byte, at several times the speed.
    static constexpr quint16 crcUpdate(quint16 _crc, uchar _byte)
    {
        uchar x = uchar(_crc ^ _byte);
        x = uchar(x ^ (x << 4));
        return quint16((_crc >> 8) ^ (quint16(x) << 8) ^ (quint16(x) << 3) ^ (x >> 4));
    }

    // CRC-16/X-25 of a block: initial value 0xFFFF, final XOR 0xFFFF.
    static quint16 crc16(const char* _data, int _size);
    static quint16 crc16(const QByteArray& _data) { return crc16(_data.constData(), _data.size()); }
    // The same of the bytes an escaped block stands for, without unescaping it first.
    static quint16 crc16Escaped(const char* _data, int _size);

    // Frames a body: CRC, escaping and both delimiters.
    static QByteArray encode(const QByteArray& _body);
    // Appends the framed body to _out (no reallocation per byte).
    static void encodeInto(const QByteArray& _body, QByteArray& _out);
    // Removes escapes; a lone escape at the end is dropped.
    static QByteArray unescape(const char* _data, int _size);
};
