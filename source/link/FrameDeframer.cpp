#include "FrameDeframer.h"

#include "FrameCodec.h"
#include "common/common.h"
#include "common/log.h"

void FrameDeframer::clear()
{
    m_buffer.clear();
    m_searched = 0;
}

void FrameDeframer::feed(const QByteArray& _chunk, const FrameHandler& _onFrame)
{
    m_buffer.append(_chunk);
    const int size = m_buffer.size();
    const char* data = m_buffer.constData();
    int pos = 0; // everything before pos is consumed

    while (pos < size) {
        const int start = m_buffer.indexOf(FrameCodec::kDelimiter, pos);
        if (start < 0) {
            LOG(lcLink, QString("skip all %1 bytes %2").arg(size - pos).arg(byteArrayToHex(m_buffer.mid(pos))));
            pos = size;
            break;
        }
        if (start > pos) {
            LOG(lcLink, QString("skip %1 bytes").arg(start - pos));
            pos = start;
        }
        // A frame still open from the last chunk was searched to its end then.
        const int from = pos == 0 ? qMax(1, m_searched) : pos + 1;
        int end = m_buffer.indexOf(FrameCodec::kDelimiter, from);
        while (end == pos + 1) {
            LOG(lcLink, QString("skip delimiter next to delimiter byte"));
            ++pos;
            end = m_buffer.indexOf(FrameCodec::kDelimiter, pos + 1);
        }
        if (end < 0) {
            // Incomplete: wait for the closing delimiter. The bytes after the
            // opening one hold none, so the next chunk continues the search.
            m_buffer.remove(0, pos);
            m_searched = m_buffer.size();
            return;
        }

        QByteArray frame = FrameCodec::unescape(data + pos + 1, end - pos - 1);
        pos = end + 1;
        const quint16 residue = FrameCodec::crc16(frame);
        if (residue == FrameCodec::kGoodResidue) {
            frame.chop(2);
            _onFrame(frame);
        } else {
            LOG(lcLink, QString("skip frame due to wrong crc:  0x%1").arg(residue, 4, 16, QChar('0')));
            LOG(lcLink, QString("skiped frame:  %1 bytes '%2'").arg(frame.size()).arg(byteArrayToHex(frame)));
        }
    }
    m_buffer.remove(0, pos);
    m_searched = 0;
}
