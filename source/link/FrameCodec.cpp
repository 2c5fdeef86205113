#include "FrameCodec.h"

#include <cstring>

quint16 FrameCodec::crc16(const char* _data, int _size)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < _size; ++i)
        crc = crcUpdate(crc, static_cast<uchar>(_data[i]));
    return crc ^ 0xFFFF;
}

quint16 FrameCodec::crc16Escaped(const char* _data, int _size)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < _size; ++i) {
        char byte = _data[i];
        if (byte == kEscape) {
            if (++i == _size)
                break; // a lone escape at the end stands for nothing
            byte = static_cast<char>(_data[i] ^ 0x20);
        }
        crc = crcUpdate(crc, static_cast<uchar>(byte));
    }
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

// Index of the first _byte in _data from _from on; _size without one.
int find(const char* _data, int _from, int _size, char _byte)
{
    const void* found = std::memchr(_data + _from, _byte, size_t(_size - _from));
    return found ? int(static_cast<const char*>(found) - _data) : _size;
}

// Escapes a block: the bytes between two that need an escape are copied as
// one. Each kind of byte is searched for once per occurrence.
char* putEscapedBlock(char* _out, const char* _data, int _size)
{
    int pos = 0;
    int delimiter = -1;
    int escape = -1;
    while (pos < _size) {
        if (delimiter < pos)
            delimiter = find(_data, pos, _size, FrameCodec::kDelimiter);
        if (escape < pos)
            escape = find(_data, pos, _size, FrameCodec::kEscape);
        const int stop = qMin(delimiter, escape);
        std::memcpy(_out, _data + pos, size_t(stop - pos));
        _out += stop - pos;
        if (stop == _size)
            break;
        _out = putEscaped(_out, _data[stop]);
        pos = stop + 1;
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
    out = putEscapedBlock(out, _body.constData(), _body.size());
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
    // Escapes are rare: the bytes between two of them are copied as a block.
    QByteArray result(_size, Qt::Uninitialized);
    char* out = result.data();
    const char* in = _data;
    const char* const end = _data + _size;
    while (in < end) {
        const char* escape = static_cast<const char*>(std::memchr(in, kEscape, size_t(end - in)));
        const char* const stop = escape ? escape : end;
        std::memcpy(out, in, size_t(stop - in));
        out += stop - in;
        if (!escape)
            break;
        in = escape + 1;
        if (in < end)
            *out++ = static_cast<char>(*in++ ^ 0x20);
    }
    result.resize(int(out - result.constData()));
    return result;
}
