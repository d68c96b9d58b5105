// The recognizer runtime beside bare peers: its allocator beside the platform's, and a ring buffer's copy in and out
// beside two plain copies of the same bytes.
#include "BenchReport.h"

#include <kve/kve_recognizer_runtime.h>

#include <cstdlib>
#include <cstring>

namespace {

// One block taken and given back, beside the platform allocator doing the same for the same size.
void BM_RecognizerAllocBesideMalloc(benchmark::State &state)
{
    const auto size = static_cast<size_t>(state.range(0));
    constexpr int kReps = 64;
    const auto [oursTime, platformTime] = timeInTurns(
        state,
        [&] {
            void *p = dbMalloc(size);
            benchmark::DoNotOptimize(p);
            dbFree(p);
        },
        [&] {
            void *p = std::malloc(size);
            benchmark::DoNotOptimize(p);
            std::free(p);
        },
        kReps);
    state.counters["ours_over_malloc"] = oursTime / platformTime;
}
BENCHMARK(BM_RecognizerAllocBesideMalloc)->Arg(64)->Arg(640)->Arg(16384)->UseRealTime();

// One 10 ms frame of 16-bit samples through the recogniser's kind of ring (one item per chunk, overwriting), whose
// capacity is no multiple of the frame so that writes and reads wrap, beside two copies of the same bytes.
void BM_RingWriteReadBesideTwoCopies(benchmark::State &state)
{
    constexpr size_t kFrame = 160;
    constexpr int kReps = 16;
    buffer *ring = bufferCreate(1000, sizeof(int16_t), 1, 1);
    int16_t in[kFrame], middle[kFrame], out[kFrame];
    for (size_t i = 0; i < kFrame; ++i)
        in[i] = static_cast<int16_t>(i * 37);
    const auto [ringTime, copyTime] = timeInTurns(
        state,
        [&] {
            bufferWrite(ring, in, kFrame);
            bufferRead(ring, out, kFrame);
            benchmark::DoNotOptimize(out);
        },
        [&] {
            std::memcpy(middle, in, sizeof in);
            benchmark::DoNotOptimize(middle);
            std::memcpy(out, middle, sizeof middle);
            benchmark::DoNotOptimize(out);
        },
        kReps);
    if (std::memcmp(in, out, sizeof in) != 0)
        state.SkipWithError("the ring lost samples");
    state.counters["ring_over_two_copies"] = ringTime / copyTime;
    rcRelease(ring);
}
BENCHMARK(BM_RingWriteReadBesideTwoCopies)->UseRealTime();

} // namespace
