// Frame encode and decode throughput of the stick link codec.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include "link/FrameCodec.h"
#include "link/FrameDeframer.h"

namespace {

// A Query Next Image reply body (36 bytes: 04, seq, 0x10, the 20-byte reply
// header, 13 bytes of response) and an image block reply body (54 bytes:
// the same 23 bytes, 14 bytes of response and 17 data bytes, some of them
// needing escapes).
QByteArray replyHead(char _responseId)
{
    QByteArray head = QByteArray::fromHex("040510" "022b1a0102030405060708" "0401" "10" "0b" "1900" "0101");
    head.append(_responseId);
    return head;
}

QByteArray queryNextImageReply()
{
    return replyHead(0x02) + QByteArray::fromHex("003d1c0100030201004523" "0100");
}

QByteArray imageBlockReply()
{
    return replyHead(0x05) + QByteArray::fromHex("003d1c01000302010000000000" "11")
        + QByteArray::fromHex("7e01027d030405060708090a0b0c0d0e0f");
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

// One 1 MiB chunk holding thousands of frames, fed to the deframer at once.
void BM_DecodeLargeChunk(benchmark::State& state)
{
    const QByteArray body = imageBlockReply();
    QByteArray chunk;
    int count = 0;
    while (chunk.size() < (1 << 20)) {
        FrameCodec::encodeInto(body, chunk);
        ++count;
    }
    FrameDeframer deframer;
    int frames = 0;
    for (auto _ : state)
        deframer.feed(chunk, [&frames](const QByteArray&) { ++frames; });
    benchmark::DoNotOptimize(frames);
    state.SetBytesProcessed(int64_t(state.iterations()) * chunk.size());
    state.counters["frames_per_chunk"] = count;
    state.counters["budget_MBps"] = 100;
}

} // namespace

BENCHMARK_CAPTURE(BM_Encode, query_next_image_reply_36B, queryNextImageReply());
BENCHMARK_CAPTURE(BM_Encode, image_block_reply_54B, imageBlockReply());
BENCHMARK_CAPTURE(BM_Decode, query_next_image_reply_36B, queryNextImageReply());
BENCHMARK_CAPTURE(BM_Decode, image_block_reply_54B, imageBlockReply());
BENCHMARK(BM_DecodeLargeChunk)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
