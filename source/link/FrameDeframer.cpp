#include "FrameDeframer.h"

#include "common/common.h"
#include "common/log.h"

namespace {
// A hex dump of at most FrameCodec::kMaxLoggedBytes, counting the rest; the
// bytes are not copied.
QString dump(const char* _data, int _size)
{
    return byteArrayToHex(QByteArray::fromRawData(_data, _size), FrameCodec::kMaxLoggedBytes);
}

QString skippedFrameText(const char* _escaped, int _size)
{
    const QByteArray frame = FrameCodec::unescape(_escaped, _size);
    return QString("skipped frame:  %1 bytes '%2'").arg(frame.size()).arg(dump(frame.constData(), frame.size()));
}
} // namespace

void FrameDeframer::clear()
{
    m_frame.clear();
    m_skipping = false;
}

void FrameDeframer::feed(const QByteArray& _chunk, const FrameHandler& _onFrame)
{
    int pos = 0; // everything before pos is consumed
    if (m_skipping) {
        // The rest of an overlong frame goes without a word.
        pos = _chunk.indexOf(FrameCodec::kDelimiter);
        if (pos < 0)
            return;
        m_skipping = false;
    } else if (!m_frame.isEmpty()) {
        pos = continueFrame(_chunk, _onFrame);
        if (pos < 0)
            return;
    }

    const int size = _chunk.size();
    const char* data = _chunk.constData();
    while (pos < size) {
        const int start = _chunk.indexOf(FrameCodec::kDelimiter, pos);
        if (start < 0) {
            LOG(lcLink, QString("skip all %1 bytes %2").arg(size - pos).arg(dump(data + pos, size - pos)));
            return;
        }
        if (start > pos) {
            LOG(lcLink, QString("skip %1 bytes").arg(start - pos));
            pos = start;
        }
        int end = _chunk.indexOf(FrameCodec::kDelimiter, pos + 1);
        while (end == pos + 1) {
            LOG(lcLink, QString("skip delimiter next to delimiter byte"));
            ++pos;
            end = _chunk.indexOf(FrameCodec::kDelimiter, pos + 1);
        }
        if (end < 0) {
            keepPartialFrame(data + pos, size - pos);
            return;
        }
        const int length = end - pos - 1;
        if (length > FrameCodec::kMaxFrameBytes) {
            // Its closing delimiter may as well open the next frame: a stick
            // that sent rubbish starts its next frame with one.
            logOverlongFrame(data + pos + 1, length);
            pos = end;
            continue;
        }
        QByteArray body;
        if (checkFrame(data + pos + 1, length, body))
            _onFrame(body);
        pos = end + 1;
    }
}

int FrameDeframer::continueFrame(const QByteArray& _chunk, const FrameHandler& _onFrame)
{
    const int held = m_frame.size() - 1; // bytes after the opening delimiter
    const int end = _chunk.indexOf(FrameCodec::kDelimiter);
    if (end < 0) {
        if (held + _chunk.size() > FrameCodec::kMaxFrameBytes) {
            logOverlongFrame(m_frame.constData() + 1, held);
            m_frame.clear();
            m_skipping = true;
        } else {
            m_frame.append(_chunk);
        }
        return -1;
    }
    if (end == 0 && held == 0) {
        // The new delimiter opens the frame instead.
        LOG(lcLink, QString("skip delimiter next to delimiter byte"));
        m_frame.clear();
        return 0;
    }
    if (held + end > FrameCodec::kMaxFrameBytes) {
        logOverlongFrame(m_frame.constData() + 1, held);
        m_frame.clear();
        return end;
    }
    m_frame.append(_chunk.constData(), end);
    QByteArray body;
    const bool good = checkFrame(m_frame.constData() + 1, m_frame.size() - 1, body);
    m_frame.clear();
    if (good)
        _onFrame(body);
    return end + 1;
}

void FrameDeframer::keepPartialFrame(const char* _data, int _size)
{
    if (_size - 1 > FrameCodec::kMaxFrameBytes) {
        logOverlongFrame(_data + 1, _size - 1);
        m_skipping = true;
        return;
    }
    // Room for the longest frame at once: appending never reallocates, and
    // the capacity never grows beyond it.
    m_frame.reserve(FrameCodec::kMaxFrameBytes + 1);
    m_frame.append(_data, _size);
}

bool FrameDeframer::checkFrame(const char* _escaped, int _size, QByteArray& _body)
{
    const quint16 residue = FrameCodec::crc16Escaped(_escaped, _size);
    if (residue == FrameCodec::kGoodResidue) {
        _body = FrameCodec::unescape(_escaped, _size);
        _body.chop(2);
        return true;
    }
    LOG(lcLink, QString("skip frame due to wrong crc:  0x%1").arg(residue, 4, 16, QChar('0')));
    // Unescaped only when the line is logged.
    LOG(lcLink, skippedFrameText(_escaped, _size));
    return false;
}

void FrameDeframer::logOverlongFrame(const char* _data, int _size)
{
    LOG(lcLink,
        QString("skip frame longer than %1 bytes: '%2'").arg(FrameCodec::kMaxFrameBytes).arg(dump(_data, _size)));
}
