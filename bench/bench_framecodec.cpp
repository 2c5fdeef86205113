// Frame encode and decode throughput of the stick link codec.
#include <QByteArray>
#include <QList>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

#include "link/FrameCodec.h"
#include "link/FrameDeframer.h"

namespace {

// A Query Next Image reply body (36 bytes: 04, seq, 0x10, the 20-byte reply
// header, 13 bytes of response) and an image block reply body (54 bytes:
// the same 23 bytes, 14 bytes of response and 17 data bytes, some of them
// needing escapes).
QByteArray replyHead(char _responseId)
{
    QByteArray head = QByteArray::fromHex("040510"
                                          "022b1a0102030405060708"
                                          "0401"
                                          "10"
                                          "0b"
                                          "1900"
                                          "0101");
    head.append(_responseId);
    return head;
}

QByteArray queryNextImageReply()
{
    return replyHead(0x02) + QByteArray::fromHex("003d1c0100030201004523"
                                                 "0100");
}

QByteArray imageBlockReply()
{
    return replyHead(0x05) +
           QByteArray::fromHex("003d1c01000302010000000000"
                               "11") +
           QByteArray::fromHex("7e01027d030405060708090a0b0c0d0e0f");
}

void BM_Encode(benchmark::State& state, const QByteArray& body)
{
    QByteArray out;
    for (auto _ : state) {
        out.clear();
        FrameCodec::encodeInto(body, out);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * body.size());
    state.counters["body_bytes"] = body.size();
    state.counters["budget_MBps"] = 100;
}

void BM_Decode(benchmark::State& state, const QByteArray& body)
{
    const QByteArray wire = FrameCodec::encode(body);
    FrameDeframer deframer;
    int frames = 0;
    for (auto _ : state)
        deframer.feed(wire, [&frames](const QByteArray&) { ++frames; });
    benchmark::DoNotOptimize(frames);
    state.SetBytesProcessed(int64_t(state.iterations()) * wire.size());
}

QByteArray chunkOfReplies(int _bytes, int* _frames = nullptr)
{
    const QByteArray body = imageBlockReply();
    QByteArray chunk;
    int count = 0;
    while (chunk.size() < _bytes) {
        FrameCodec::encodeInto(body, chunk);
        ++count;
    }
    if (_frames)
        *_frames = count;
    return chunk;
}

// One chunk of 16 KiB to 4 MiB holding image block replies, fed to the
// deframer at once. The throughput must not fall as the chunk grows.
void BM_DecodeLargeChunk(benchmark::State& state)
{
    int count = 0;
    const QByteArray chunk = chunkOfReplies(int(state.range(0)) * 1024, &count);
    FrameDeframer deframer;
    int frames = 0;
    for (auto _ : state)
        deframer.feed(chunk, [&frames](const QByteArray&) { ++frames; });
    if (frames != int(state.iterations()) * count || deframer.pendingBytes() != 0)
        state.SkipWithError("frames lost");
    state.SetBytesProcessed(int64_t(state.iterations()) * chunk.size());
    state.counters["frames_per_chunk"] = count;
    if (state.range(0) == 1024)
        state.counters["budget_MBps"] = 100;
}

// The same 1 MiB of frames as the serial port hands it over: in reads of a
// few bytes to a few KiB, frames cut anywhere.
void BM_DecodeInReads(benchmark::State& state)
{
    int count = 0;
    const QByteArray stream = chunkOfReplies(1024 * 1024, &count);
    const int piece = int(state.range(0));
    QList<QByteArray> reads;
    for (int at = 0; at < stream.size(); at += piece)
        reads << stream.mid(at, piece);
    FrameDeframer deframer;
    int frames = 0;
    for (auto _ : state) {
        for (const QByteArray& read : reads)
            deframer.feed(read, [&frames](const QByteArray&) { ++frames; });
    }
    if (frames != int(state.iterations()) * count)
        state.SkipWithError("frames lost");
    state.SetBytesProcessed(int64_t(state.iterations()) * stream.size());
    state.counters["read_bytes"] = piece;
}

// A frame of 4 KiB to 256 KiB, far over the length limit, arriving in reads
// of 64 bytes, and a good frame after it: the long one is dropped once it
// passes the limit, and the rest of it is only searched for the next
// delimiter, never held, so the cost stays linear and the memory flat.
void BM_DecodeLongFrame(benchmark::State& state)
{
    // One line per dropped frame would measure the terminal.
    QLoggingCategory::setFilterRules("lumoran.link.debug=false");
    QByteArray body(int(state.range(0)) * 1024, Qt::Uninitialized);
    for (int i = 0; i < body.size(); ++i)
        body[i] = char(i * 131 + 7);
    const QByteArray wire = FrameCodec::encode(body) + FrameCodec::encode(imageBlockReply());
    QList<QByteArray> reads;
    for (int at = 0; at < wire.size(); at += 64)
        reads << wire.mid(at, 64);
    FrameDeframer deframer;
    int frames = 0;
    int held = 0;
    for (auto _ : state) {
        for (const QByteArray& read : reads) {
            deframer.feed(read, [&frames](const QByteArray&) { ++frames; });
            held = qMax(held, deframer.heldBytes());
        }
    }
    if (frames != int(state.iterations()) || held > FrameCodec::kMaxFrameBytes + 1)
        state.SkipWithError("frame lost or memory held beyond the limit");
    state.SetBytesProcessed(int64_t(state.iterations()) * wire.size());
    state.counters["held_bytes"] = held;
}

} // namespace

BENCHMARK_CAPTURE(BM_Encode, query_next_image_reply_36B, queryNextImageReply())->UseRealTime();
BENCHMARK_CAPTURE(BM_Encode, image_block_reply_54B, imageBlockReply())->UseRealTime();
BENCHMARK_CAPTURE(BM_Decode, query_next_image_reply_36B, queryNextImageReply())->UseRealTime();
BENCHMARK_CAPTURE(BM_Decode, image_block_reply_54B, imageBlockReply())->UseRealTime();
// Chunk sizes in KiB; the budget row is 1 MiB.
BENCHMARK(BM_DecodeLargeChunk)->RangeMultiplier(4)->Range(16, 4096)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeInReads)->Arg(16)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeLongFrame)->RangeMultiplier(4)->Range(4, 256)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
