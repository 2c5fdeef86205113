// The stick link's receive side: arbitrary bytes in arbitrary chunks.
//
// Input: a sequence of chunks, each a length byte and that many bytes (the
// last one may be shorter). Besides the sanitizers, three properties are
// checked: the frames do not depend on how the stream was cut into chunks;
// every frame delivered, framed again, comes back alone and unchanged; and the
// whole input, framed as one body, comes back as exactly that body.

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QList>

#include "FuzzEnvironment.h"
#include "link/FrameCodec.h"
#include "link/FrameDeframer.h"

namespace {
QList<QByteArray> deframe(FrameDeframer& _deframer, const QList<QByteArray>& _chunks)
{
    QList<QByteArray> frames;
    for (const QByteArray& chunk : _chunks)
        _deframer.feed(chunk, [&frames](const QByteArray& _body) { frames.append(_body); });
    return frames;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* _argc, char*** _argv)
{
    FuzzEnvironment::init(_argc, _argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _data, size_t _size)
{
    FuzzInput input(_data, _size);
    QList<QByteArray> chunks;
    QByteArray stream;
    while (!input.atEnd()) {
        chunks.append(input.lengthPrefixed());
        stream.append(chunks.last());
    }

    FrameDeframer chunked;
    const QList<QByteArray> frames = deframe(chunked, chunks);
    FrameDeframer whole;
    FUZZ_CHECK(deframe(whole, {stream}) == frames);
    FUZZ_CHECK(whole.pendingBytes() == chunked.pendingBytes());
    FUZZ_CHECK(chunked.pendingBytes() <= stream.size());

    for (const QByteArray& frame : frames) {
        FrameDeframer again;
        FUZZ_CHECK(deframe(again, {FrameCodec::encode(frame)}) == QList<QByteArray>{frame});
        FUZZ_CHECK(again.pendingBytes() == 0);
    }

    // A body that the tool sends survives the wire, whatever bytes it holds.
    const QByteArray body(reinterpret_cast<const char*>(_data), int(_size));
    FrameDeframer echo;
    FUZZ_CHECK(deframe(echo, {FrameCodec::encode(body)}) == QList<QByteArray>{body});
    return 0;
}
