#pragma once

#include <functional>

#include <QByteArray>

// Cuts a received byte stream into frames and checks their CRC. Bytes outside
// frames, doubled delimiters and bad frames are logged and dropped; the
// stream resynchronises on the next delimiter. Work is linear in the bytes
// received: consumed bytes are dropped once per chunk, not once per frame,
// and a frame that arrives over many chunks is searched only once.
class FrameDeframer
{
public:
    using FrameHandler = std::function<void(const QByteArray& _body)>;

    void feed(const QByteArray& _chunk, const FrameHandler& _onFrame);
    void clear();
    int pendingBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
    // While the buffer holds an incomplete frame: the bytes from index 1 up
    // to here hold no delimiter. 0 otherwise.
    int m_searched = 0;
};
