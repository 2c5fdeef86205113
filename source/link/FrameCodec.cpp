#include "FrameCodec.h"

quint16 FrameCodec::crc16(const char* _data, int _size)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < _size; ++i)
        crc = crcUpdate(crc, static_cast<uchar>(_data[i]));
    return crc ^ 0xFFFF;
}

namespace {
inline char* putEscaped(char* _out, char _byte)
{
    if (_byte == FrameCodec::kDelimiter || _byte == FrameCodec::kEscape) {
        *_out++ = FrameCodec::kEscape;
        *_out++ = static_cast<char>(_byte ^ 0x20);
    } else {
        *_out++ = _byte;
    }
    return _out;
}
} // namespace

void FrameCodec::encodeInto(const QByteArray& _body, QByteArray& _out)
{
    const quint16 crc = crc16(_body);
    const int oldSize = _out.size();
    // Worst case: every byte of body and CRC escaped, plus two delimiters.
    _out.resize(oldSize + 2 * (_body.size() + 2) + 2);
    char* const begin = _out.data() + oldSize;
    char* out = begin;
    *out++ = kDelimiter;
    for (const char byte : _body)
        out = putEscaped(out, byte);
    out = putEscaped(out, static_cast<char>(crc & 0xFF));
    out = putEscaped(out, static_cast<char>(crc >> 8));
    *out++ = kDelimiter;
    _out.resize(oldSize + int(out - begin));
}

QByteArray FrameCodec::encode(const QByteArray& _body)
{
    QByteArray out;
    encodeInto(_body, out);
    return out;
}

QByteArray FrameCodec::unescape(const char* _data, int _size)
{
    QByteArray result(_size, Qt::Uninitialized);
    char* out = result.data();
    for (int i = 0; i < _size; ++i) {
        if (_data[i] == kEscape) {
            ++i;
            if (i < _size)
                *out++ = static_cast<char>(_data[i] ^ 0x20);
        } else {
            *out++ = _data[i];
        }
    }
    result.resize(int(out - result.constData()));
    return result;
}
