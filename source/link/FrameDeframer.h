#pragma once

#include <functional>

#include <QByteArray>

// Cuts a received byte stream into frames and checks their CRC. Bytes outside
// frames, doubled delimiters and bad frames are logged and dropped; the
// stream resynchronises on the next delimiter. Work is linear in the bytes
// received: consumed bytes are dropped once per chunk, not once per frame.
class FrameDeframer
{
public:
    using FrameHandler = std::function<void(const QByteArray& _body)>;

    void feed(const QByteArray& _chunk, const FrameHandler& _onFrame);
    void clear();
    int pendingBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
};
