#pragma once

#include <functional>

#include <QByteArray>

#include "FrameCodec.h"

// Cuts a received byte stream into frames and checks their CRC. Bytes outside
// frames, doubled delimiters and bad frames are logged and dropped; the
// stream resynchronises on the next delimiter. A frame with more than
// FrameCodec::kMaxFrameBytes between its delimiters is dropped with one log
// line, up to the next delimiter, which may open the next frame; so the
// frames found do not depend on how the stream is cut into chunks, and the
// deframer never holds more than one partial frame of at most that length
// (plus its opening delimiter) between chunks. Work is linear in the bytes
// received: a chunk is read where it lies, and only the partial frame at its
// end is copied.
class FrameDeframer
{
public:
    using FrameHandler = std::function<void(const QByteArray& _body)>;

    void feed(const QByteArray& _chunk, const FrameHandler& _onFrame);
    // Forgets a partial frame; what comes next is read as a new stream.
    void clear();
    // The partial frame held, its opening delimiter included.
    int pendingBytes() const { return m_frame.size(); }
    // The memory held for it between chunks.
    int heldBytes() const { return m_frame.capacity(); }

private:
    // Continues the partial frame with _chunk. Returns where the rest of the
    // chunk is to be read as a new stream, or -1 when the chunk is used up.
    int continueFrame(const QByteArray& _chunk, const FrameHandler& _onFrame);
    // Keeps the partial frame at the end of a chunk, or drops it when it is
    // already too long.
    void keepPartialFrame(const char* _data, int _size);
    // Checks the CRC of a frame's escaped bytes; a good frame's body goes
    // to _body, a bad frame is logged. Nothing is copied for a bad frame.
    static bool checkFrame(const char* _escaped, int _size, QByteArray& _body);
    static void logOverlongFrame(const char* _data, int _size);

    // The partial frame: 0x7E and the bytes after it, none of them 0x7E.
    QByteArray m_frame;
    // An overlong frame is being dropped up to the next delimiter.
    bool m_skipping = false;
};
