// The stick link's receive side: arbitrary bytes in arbitrary chunks.
//
// Input: a sequence of chunks, each a length byte and that many bytes (the
// last one may be shorter). Besides the sanitizers, four properties are
// checked: the frames do not depend on how the stream was cut into chunks;
// the frames delivered, framed again, come back unchanged; a body the tool
// sends comes back as exactly that body when it fits the length limit and is
// dropped whole otherwise; and whatever the input, the deframer holds no more
// than the longest allowed frame between chunks, so its memory is that plus
// the one read it is given.
//
// For speed the deframer and every buffer live as long as the process,
// cleared between inputs, so that an input costs few allocations; the log is
// off (FuzzEnvironment), formatting every line would take most of the time.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <QByteArray>

#include "FuzzEnvironment.h"
#include "link/FrameCodec.h"
#include "link/FrameDeframer.h"

namespace {
using Frames = std::vector<QByteArray>;

// Bodies up to a little over the limit cover both sides of it.
constexpr int kMaxEchoBody = FrameCodec::kMaxFrameBytes + 8;

struct Scratch
{
    FrameDeframer deframer;
    Frames frames;
    Frames again;
    QByteArray piece; // points into the input, chunk after chunk
    QByteArray stream;
    QByteArray wire;
};
Scratch* s_scratch = nullptr;

// A buffer that keeps its memory when emptied.
void empty(QByteArray& _buffer)
{
    if (!_buffer.isDetached() || _buffer.capacity() == 0)
        _buffer.reserve(4096);
    _buffer.resize(0);
}

// Checks the memory the deframer holds between chunks.
void checkHeld(const FrameDeframer& _deframer)
{
    FUZZ_CHECK(_deframer.pendingBytes() <= FrameCodec::kMaxFrameBytes + 1);
    FUZZ_CHECK(_deframer.heldBytes() <= FrameCodec::kMaxFrameBytes + 1);
}

// Deframes the input in the chunks it describes into _frames, with a cleared
// deframer; gathers the chunks' bytes in one piece in the scratch stream.
void deframeChunks(const char* _data, int _size, Frames& _frames)
{
    Scratch& scratch = *s_scratch;
    scratch.deframer.clear();
    _frames.clear();
    empty(scratch.stream);
    const FrameDeframer::FrameHandler collect = [&_frames](const QByteArray& _body) { _frames.push_back(_body); };
    for (int pos = 0; pos < _size;) {
        const int length = qMin(int(quint8(_data[pos])), _size - pos - 1);
        // Reused: no allocation per chunk.
        scratch.piece.setRawData(_data + pos + 1, uint(length));
        scratch.stream.append(scratch.piece);
        scratch.deframer.feed(scratch.piece, collect);
        checkHeld(scratch.deframer);
        pos += 1 + length;
    }
}

// Deframes one piece into _frames with a cleared deframer.
void deframe(const QByteArray& _stream, Frames& _frames)
{
    FrameDeframer& deframer = s_scratch->deframer;
    deframer.clear();
    _frames.clear();
    deframer.feed(_stream, [&_frames](const QByteArray& _body) { _frames.push_back(_body); });
    checkHeld(deframer);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* _argc, char*** _argv)
{
    FuzzEnvironment::init(_argc, _argv);
    s_scratch = new Scratch;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _data, size_t _size)
{
    Scratch& scratch = *s_scratch;
    const char* data = reinterpret_cast<const char*>(_data);
    const int size = int(qMin<size_t>(_size, INT32_MAX / 4));
    deframeChunks(data, size, scratch.frames);
    // The same stream in one piece gives the same frames.
    const int pending = scratch.deframer.pendingBytes();
    deframe(scratch.stream, scratch.again);
    FUZZ_CHECK(scratch.again == scratch.frames);
    FUZZ_CHECK(scratch.deframer.pendingBytes() == pending);

    // Framed again, one after the other, the frames come back as they were.
    empty(scratch.wire);
    for (const QByteArray& frame : scratch.frames) {
        FUZZ_CHECK(frame.size() <= FrameCodec::kMaxFrameBytes - 2);
        FrameCodec::encodeInto(frame, scratch.wire);
    }
    deframe(scratch.wire, scratch.again);
    FUZZ_CHECK(scratch.again == scratch.frames);
    FUZZ_CHECK(scratch.deframer.pendingBytes() == 0);

    // A body that the tool sends survives the wire, whatever bytes it holds,
    // as long as it fits the limit; a longer one is dropped whole.
    const QByteArray body = QByteArray::fromRawData(data, qMin(size, kMaxEchoBody));
    empty(scratch.wire);
    FrameCodec::encodeInto(body, scratch.wire);
    deframe(scratch.wire, scratch.again);
    if (scratch.wire.size() - 2 <= FrameCodec::kMaxFrameBytes) {
        FUZZ_CHECK(scratch.again.size() == 1 && scratch.again.front() == body);
        FUZZ_CHECK(scratch.deframer.pendingBytes() == 0);
    } else {
        // Its closing delimiter waits as the opening one of the next frame.
        FUZZ_CHECK(scratch.again.empty());
        FUZZ_CHECK(scratch.deframer.pendingBytes() == 1);
    }

    // Every block allocated for this input is freed again: libFuzzer runs an
    // input once more with leak detection when the counts differ.
    scratch.frames.clear();
    scratch.again.clear();
    scratch.deframer.clear();
    return 0;
}
