// FIR kernels on blocks of 32 and 256 frames of 1, 2, 4 and 8 interleaved channels (each channel one call with its
// own state, its increment the channel count, unless the kernel takes the channel count itself), reported as ns per
// output sample per tap (time_per_sample_tap) beside ns per sample. Beside them: liquid-dsp's filter, decimator and
// interpolator on the same taps and data (one object per channel, on that channel's contiguous samples), and a
// reference of independent four-lane multiply-adds over L1 data, whose ns per multiply-add is the machine's
// throughput in the kernels' register width. A float FIR of 64 taps or more is meant to stay within 2x of it.
#include <benchmark/benchmark.h>

#include <complex>
#include <cstdint>
#include <vector>

#include "BenchReport.h"
#include "Dsp/Neon.h"
#if !defined(__aarch64__)
#include <immintrin.h>
#endif
#include "kve/kve_vec.h"

#if KVE_BENCH_LIQUID
#include <liquid/liquid.h>
#endif

namespace {

// Adds the time per output sample per multiply-add of its filter.
void reportPerTap(benchmark::State &state, int64_t samplesPerIteration, int64_t taps)
{
    reportPerSample(state, samplesPerIteration);
    const auto work = static_cast<double>(state.iterations()) * static_cast<double>(samplesPerIteration * taps);
    state.counters["time_per_sample_tap"] =
        benchmark::Counter(work, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A signal in -1..1, different for each seed, never zero.
std::vector<float> testSignal(int64_t n, int seed)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<float>((i * (37 + seed) + 11 * seed) % 200 - 99.5) / 100.0f;
    return x;
}

// The same signal as Fract32 words (half scale).
std::vector<Fract32> testWords(int64_t n, int seed)
{
    std::vector<Fract32> w;
    for (float v : testSignal(n, seed))
        w.push_back(static_cast<Fract32>(v * 1073741824.0f));
    return w;
}

// A lowpass-like set of taps summing to about 1.
std::vector<float> testTaps(int64_t n)
{
    std::vector<float> h(static_cast<size_t>(n));
    for (int64_t k = 0; k < n; ++k)
        h[static_cast<size_t>(k)] = (1.0f + static_cast<float>((k * 7) % 5)) / (3.0f * static_cast<float>(n));
    return h;
}

std::vector<Fract32> testTapWords(int64_t n)
{
    std::vector<Fract32> w;
    for (float v : testTaps(n))
        w.push_back(static_cast<Fract32>(v * 2147483647.0f));
    return w;
}

// The block shape of a run: range(0) channels, range(1) input frames per call, range(2) taps (or taps per phase),
// range(3) the decimation or interpolation factor where there is one.
struct Shape {
    int32_t channels;
    int32_t frames;
    int32_t taps;
    int32_t factor;
};

Shape shapeOf(const benchmark::State &state)
{
    return {static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
            static_cast<int32_t>(state.range(2)), state.range(3) > 0 ? static_cast<int32_t>(state.range(3)) : 1};
}

// ---- The reference: independent multiply-adds ----

// Four-lane fused multiply-add in the machine's own instructions (the emulated NEON types of other machines can keep
// accumulators in memory, which would measure the emulation rather than the machine).
#if defined(__aarch64__)
using Lanes = float32x4_t;
inline Lanes lanesSplat(float v) { return vdupq_n_f32(v); }
inline Lanes lanesLoad(const float *p) { return vld1q_f32(p); }
inline Lanes lanesFma(Lanes acc, Lanes a, Lanes b) { return vfmaq_f32(acc, a, b); }
inline Lanes lanesAdd(Lanes a, Lanes b) { return vaddq_f32(a, b); }
inline void lanesStore(float *p, Lanes v) { vst1q_f32(p, v); }
#else
using Lanes = __m128;
inline Lanes lanesSplat(float v) { return _mm_set1_ps(v); }
inline Lanes lanesLoad(const float *p) { return _mm_loadu_ps(p); }
inline Lanes lanesFma(Lanes acc, Lanes a, Lanes b) { return _mm_fmadd_ps(a, b, acc); }
inline Lanes lanesAdd(Lanes a, Lanes b) { return _mm_add_ps(a, b); }
inline void lanesStore(float *p, Lanes v) { _mm_storeu_ps(p, v); }
#endif

// Twelve accumulators, each fed by its own four-lane multiply-add per step over n floats (n a multiple of 48), rounds
// times: more independent chains than the multiply-add units of the machine can overlap, so the units never wait.
// Kept out of line so that the benchmark loop's calls do not push the accumulators out of registers.
__attribute__((noinline)) float multiplyAddRounds(const float *x, size_t n, int rounds)
{
    const Lanes c = lanesSplat(0.999f);
    Lanes a0 = lanesSplat(0.0f), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0;
    Lanes a6 = a0, a7 = a0, a8 = a0, a9 = a0, a10 = a0, a11 = a0;
    for (int r = 0; r < rounds; ++r) {
        for (const float *p = x; p != x + n; p += 48) {
            a0 = lanesFma(a0, lanesLoad(p), c);
            a1 = lanesFma(a1, lanesLoad(p + 4), c);
            a2 = lanesFma(a2, lanesLoad(p + 8), c);
            a3 = lanesFma(a3, lanesLoad(p + 12), c);
            a4 = lanesFma(a4, lanesLoad(p + 16), c);
            a5 = lanesFma(a5, lanesLoad(p + 20), c);
            a6 = lanesFma(a6, lanesLoad(p + 24), c);
            a7 = lanesFma(a7, lanesLoad(p + 28), c);
            a8 = lanesFma(a8, lanesLoad(p + 32), c);
            a9 = lanesFma(a9, lanesLoad(p + 36), c);
            a10 = lanesFma(a10, lanesLoad(p + 40), c);
            a11 = lanesFma(a11, lanesLoad(p + 44), c);
        }
    }
    float lanes[4];
    lanesStore(lanes, lanesAdd(lanesAdd(lanesAdd(lanesAdd(a0, a1), lanesAdd(a2, a3)), lanesAdd(lanesAdd(a4, a5), lanesAdd(a6, a7))),
                               lanesAdd(lanesAdd(a8, a9), lanesAdd(a10, a11))));
    return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

// The reference: 1536 floats (6 KB, in L1) sixteen times per iteration, counted per lane.
void BM_MultiplyAddThroughput(benchmark::State &state)
{
    const std::vector<float> x = testSignal(1536, 1);
    const int rounds = 16;
    for (auto _ : state)
        benchmark::DoNotOptimize(multiplyAddRounds(x.data(), x.size(), rounds));
    const auto work = static_cast<double>(state.iterations()) * static_cast<double>(x.size()) * rounds;
    state.counters["time_per_multiply_add"] =
        benchmark::Counter(work, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MultiplyAddThroughput);

// ---- Filters ----

void BM_FIR(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const std::vector<float> h = testTaps(s.taps);
    const std::vector<float> x = testSignal(int64_t{s.channels} * s.frames, 1);
    std::vector<float> y(x.size());
    std::vector<std::vector<float>> states(static_cast<size_t>(s.channels),
                                           std::vector<float>(static_cast<size_t>(s.taps - 1 + s.frames)));
    for (auto _ : state) {
        for (int32_t c = 0; c < s.channels; ++c)
            kve_vecFIR(x.data() + c, s.channels, y.data() + c, s.channels, h.data(), states[static_cast<size_t>(c)].data(),
                       s.frames, s.taps);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, int64_t{s.channels} * s.frames, s.taps);
}

void BM_FIRFract32(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const std::vector<Fract32> h = testTapWords(s.taps);
    const std::vector<Fract32> x = testWords(int64_t{s.channels} * s.frames, 1);
    std::vector<Fract32> y(x.size());
    std::vector<std::vector<Fract32>> states(static_cast<size_t>(s.channels),
                                             std::vector<Fract32>(static_cast<size_t>(s.taps)));
    std::vector<int32_t> indices(static_cast<size_t>(s.channels), 0);
    for (auto _ : state) {
        for (int32_t c = 0; c < s.channels; ++c)
            kve_vecFIRFract32(x.data() + c, s.channels, y.data() + c, s.channels, h.data(),
                              states[static_cast<size_t>(c)].data(), s.frames, s.taps, &indices[static_cast<size_t>(c)],
                              0);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, int64_t{s.channels} * s.frames, s.taps);
}

// ---- Decimators (the block counts input frames; the work is counted per output) ----

void BM_FIR_Decimate(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const int32_t nOut = s.frames / s.factor;
    const int32_t ringLen = s.taps + s.factor - 1;
    const std::vector<float> h = testTaps(s.taps);
    const std::vector<float> x = testSignal(int64_t{s.channels} * s.frames, 1);
    std::vector<float> y(static_cast<size_t>(s.channels * nOut));
    std::vector<std::vector<float>> rings(static_cast<size_t>(s.channels), std::vector<float>(static_cast<size_t>(ringLen)));
    std::vector<int32_t> indices(static_cast<size_t>(s.channels), 0);
    for (auto _ : state) {
        for (int32_t c = 0; c < s.channels; ++c)
            kve_vecFIR_Decimate(x.data() + c, s.channels, y.data() + c, s.channels, h.data(),
                                rings[static_cast<size_t>(c)].data(), &indices[static_cast<size_t>(c)], nOut, s.taps,
                                ringLen, s.factor);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, int64_t{s.channels} * nOut, s.taps);
}

void BM_FIR_Decimate_SIMD4(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const int32_t nOut = s.frames / s.factor;
    const std::vector<float> h = testTaps(s.taps);
    const std::vector<float> x = testSignal(int64_t{s.channels} * s.frames, 1);
    std::vector<float> y(static_cast<size_t>(s.channels * nOut));
    std::vector<std::vector<float>> states(static_cast<size_t>(s.channels),
                                           std::vector<float>(static_cast<size_t>(s.taps - 1 + s.frames)));
    for (auto _ : state) {
        for (int32_t c = 0; c < s.channels; ++c)
            kve_vecFIR_Decimate_SIMD4(x.data() + c, s.channels, y.data() + c, s.channels, h.data(),
                                      states[static_cast<size_t>(c)].data(), nullptr, nOut, s.taps, 0, s.factor);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, int64_t{s.channels} * nOut, s.taps);
}

void BM_FIR_DecimateFract32(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const int32_t nOut = s.frames / s.factor;
    const int32_t ringLen = s.taps + s.factor - 1;
    const std::vector<Fract32> h = testTapWords(s.taps);
    const std::vector<Fract32> x = testWords(int64_t{s.channels} * s.frames, 1);
    std::vector<Fract32> y(static_cast<size_t>(s.channels * nOut));
    std::vector<std::vector<Fract32>> rings(static_cast<size_t>(s.channels),
                                            std::vector<Fract32>(static_cast<size_t>(ringLen)));
    std::vector<int32_t> indices(static_cast<size_t>(s.channels), 0);
    for (auto _ : state) {
        for (int32_t c = 0; c < s.channels; ++c)
            kve_vecFIR_DecimateFract32(x.data() + c, s.channels, y.data() + c, s.channels, h.data(),
                                       rings[static_cast<size_t>(c)].data(), &indices[static_cast<size_t>(c)], nOut,
                                       s.taps, ringLen, s.factor, 0);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, int64_t{s.channels} * nOut, s.taps);
}

// ---- Interpolators (the block counts input frames; the work is counted per output, tapsPerPhase taps each) ----

void BM_FIR_Interpolate(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const int32_t stateLen = s.taps * s.channels;
    const std::vector<float> h = testTaps(int64_t{s.taps} * s.factor);
    const std::vector<float> x = testSignal(int64_t{s.channels} * s.frames, 1);
    std::vector<float> y(x.size() * static_cast<size_t>(s.factor));
    std::vector<float> ring(static_cast<size_t>(stateLen));
    int32_t index = 0;
    for (auto _ : state) {
        kve_vecFIR_Interpolate(x.data(), s.channels, y.data(), h.data(), stateLen, ring.data(), &index, s.frames,
                               s.factor, s.taps);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, int64_t{s.channels} * s.frames * s.factor, s.taps);
}

void BM_FIR_Interpolate_SIMD4(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const std::vector<float> h = testTaps(int64_t{s.taps} * s.factor);
    const std::vector<float> x = testSignal(int64_t{s.channels} * s.frames, 1);
    std::vector<float> y(x.size() * static_cast<size_t>(s.factor));
    std::vector<float> history(static_cast<size_t>(s.channels * (s.taps - 1 + s.frames)));
    for (auto _ : state) {
        kve_vecFIR_Interpolate_SIMD4(x.data(), s.channels, y.data(), h.data(), 0, history.data(), nullptr, s.frames,
                                     s.factor, s.taps);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, int64_t{s.channels} * s.frames * s.factor, s.taps);
}

void BM_FIR_InterpolateFract32(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const std::vector<Fract32> h = testTapWords(int64_t{s.taps} * s.factor);
    const std::vector<Fract32> x = testWords(int64_t{s.channels} * s.frames, 1);
    std::vector<Fract32> y(x.size() * static_cast<size_t>(s.factor));
    std::vector<std::vector<Fract32>> rings(static_cast<size_t>(s.channels),
                                            std::vector<Fract32>(static_cast<size_t>(s.taps)));
    std::vector<int32_t> indices(static_cast<size_t>(s.channels), 0);
    for (auto _ : state) {
        for (int32_t c = 0; c < s.channels; ++c)
            kve_vecFIR_InterpolateFract32(x.data() + c, s.channels, y.data() + c, s.channels, h.data(),
                                          rings[static_cast<size_t>(c)].data(), &indices[static_cast<size_t>(c)],
                                          s.taps, s.frames, s.factor, s.taps, 0);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, int64_t{s.channels} * s.frames * s.factor, s.taps);
}

// ---- Sparse tap readers and allpass sections (one channel; range(1) the block, range(2) the taps) ----

const int32_t kRingLen = 4096;

std::vector<uint32_t> sparseDelays(int32_t taps)
{
    std::vector<uint32_t> d(static_cast<size_t>(taps));
    for (int32_t t = 0; t < taps; ++t)
        d[static_cast<size_t>(t)] = static_cast<uint32_t>((t * 997 + 13) % (kRingLen - 300));
    return d;
}

void BM_FIRSparseReader(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const std::vector<uint32_t> delays = sparseDelays(s.taps);
    const std::vector<float> gains = testTaps(s.taps);
    const std::vector<float> line = testSignal(kRingLen, 2);
    std::vector<float> y(static_cast<size_t>(s.frames));
    int32_t read = 0;
    for (auto _ : state) {
        kve_vecFIRSparseReader(delays.data(), y.data(), gains.data(), s.taps, s.frames, read, kRingLen, line.data());
        read = (read + s.frames) % kRingLen;
        benchmark::ClobberMemory();
    }
    reportPerTap(state, s.frames, s.taps);
}

void BM_FIRSparseReaderFract32(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const std::vector<uint32_t> delays = sparseDelays(s.taps);
    const std::vector<Fract32> gains = testTapWords(s.taps);
    const std::vector<Fract32> line = testWords(kRingLen, 2);
    std::vector<Fract32> y(static_cast<size_t>(s.frames));
    int32_t read = 0;
    for (auto _ : state) {
        kve_vecFIRSparseReaderFract32(delays.data(), y.data(), gains.data(), s.taps, s.frames, read, kRingLen,
                                      line.data(), 0);
        read = (read + s.frames) % kRingLen;
        benchmark::ClobberMemory();
    }
    reportPerTap(state, s.frames, s.taps);
}

void BM_FIRSparseReaderFract16(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const std::vector<uint32_t> delays = sparseDelays(s.taps);
    std::vector<int16_t> gains, line;
    for (Fract32 w : testTapWords(s.taps))
        gains.push_back(static_cast<int16_t>(w >> 16));
    for (Fract32 w : testWords(kRingLen, 2))
        line.push_back(static_cast<int16_t>(w >> 16));
    std::vector<Fract32> y(static_cast<size_t>(s.frames));
    int32_t read = 0;
    for (auto _ : state) {
        kve_vecFIRSparseReaderFract16(delays.data(), y.data(), gains.data(), s.taps, s.frames, read, kRingLen,
                                      line.data(), 0);
        read = (read + s.frames) % kRingLen;
        benchmark::ClobberMemory();
    }
    reportPerTap(state, s.frames, s.taps);
}

void BM_AllpassDelay16(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const std::vector<float> x = testSignal(s.frames, 1);
    std::vector<float> y(x.size()), delayed(x.size());
    std::vector<int16_t> line(113);
    int32_t write = 57, read = 0;
    for (auto _ : state) {
        kve_vecAllpassDelay16(line.data(), 113, &write, &read, x.data(), y.data(), delayed.data(), s.frames, 0.6f);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, s.frames, 1);
}

void BM_AllpassDelay16Fract32(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const std::vector<Fract32> x = testWords(s.frames, 1);
    std::vector<Fract32> y(x.size()), delayed(x.size());
    std::vector<int16_t> line(113);
    int32_t write = 57, read = 0;
    for (auto _ : state) {
        kve_vecAllpassDelay16Fract32(line.data(), 113, &write, &read, x.data(), y.data(), delayed.data(), 0x4CCCCCCD,
                                     0, s.frames);
        benchmark::ClobberMemory();
    }
    reportPerTap(state, s.frames, 1);
}

// ---- liquid-dsp on the same taps and data ----

#if KVE_BENCH_LIQUID
// Channel c's samples of the interleaved test signal, one contiguous vector per channel.
std::vector<std::vector<float>> channelSignals(const Shape &s)
{
    const std::vector<float> x = testSignal(int64_t{s.channels} * s.frames, 1);
    std::vector<std::vector<float>> channels(static_cast<size_t>(s.channels));
    for (int32_t t = 0; t < s.frames; ++t)
        for (int32_t c = 0; c < s.channels; ++c)
            channels[static_cast<size_t>(c)].push_back(x[static_cast<size_t>(t * s.channels + c)]);
    return channels;
}

void BM_LiquidFirfilt(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    std::vector<float> h = testTaps(s.taps);
    std::vector<std::vector<float>> x = channelSignals(s);
    std::vector<std::vector<float>> y = x;
    std::vector<firfilt_rrrf> filters;
    for (int32_t c = 0; c < s.channels; ++c)
        filters.push_back(firfilt_rrrf_create(h.data(), static_cast<unsigned>(s.taps)));
    for (auto _ : state) {
        for (size_t c = 0; c < filters.size(); ++c)
            firfilt_rrrf_execute_block(filters[c], x[c].data(), static_cast<unsigned>(s.frames), y[c].data());
        benchmark::ClobberMemory();
    }
    for (firfilt_rrrf f : filters)
        firfilt_rrrf_destroy(f);
    reportPerTap(state, int64_t{s.channels} * s.frames, s.taps);
}

void BM_LiquidFirdecim(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    const int32_t nOut = s.frames / s.factor;
    std::vector<float> h = testTaps(s.taps);
    std::vector<std::vector<float>> x = channelSignals(s);
    std::vector<std::vector<float>> y = x;
    std::vector<firdecim_rrrf> filters;
    for (int32_t c = 0; c < s.channels; ++c)
        filters.push_back(firdecim_rrrf_create(static_cast<unsigned>(s.factor), h.data(), static_cast<unsigned>(s.taps)));
    for (auto _ : state) {
        for (size_t c = 0; c < filters.size(); ++c)
            firdecim_rrrf_execute_block(filters[c], x[c].data(), static_cast<unsigned>(nOut), y[c].data());
        benchmark::ClobberMemory();
    }
    for (firdecim_rrrf f : filters)
        firdecim_rrrf_destroy(f);
    reportPerTap(state, int64_t{s.channels} * nOut, s.taps);
}

void BM_LiquidFirinterp(benchmark::State &state)
{
    const Shape s = shapeOf(state);
    std::vector<float> h = testTaps(int64_t{s.taps} * s.factor);
    std::vector<std::vector<float>> x = channelSignals(s);
    std::vector<std::vector<float>> y(x.size(), std::vector<float>(static_cast<size_t>(s.frames * s.factor)));
    std::vector<firinterp_rrrf> filters;
    for (int32_t c = 0; c < s.channels; ++c)
        filters.push_back(
            firinterp_rrrf_create(static_cast<unsigned>(s.factor), h.data(), static_cast<unsigned>(s.taps * s.factor)));
    for (auto _ : state) {
        for (size_t c = 0; c < filters.size(); ++c)
            firinterp_rrrf_execute_block(filters[c], x[c].data(), static_cast<unsigned>(s.frames), y[c].data());
        benchmark::ClobberMemory();
    }
    for (firinterp_rrrf f : filters)
        firinterp_rrrf_destroy(f);
    reportPerTap(state, int64_t{s.channels} * s.frames * s.factor, s.taps);
}
#endif

// ---- Shapes ----

void filterShapes(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"channels", "frames", "taps", "factor"})->ArgsProduct({{1, 2, 4, 8}, {32, 256}, {16, 64, 256}, {0}});
}

void decimatorShapes(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"channels", "frames", "taps", "factor"})->ArgsProduct({{1, 2, 4, 8}, {32, 256}, {64}, {2, 4}});
}

void interpolatorShapes(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"channels", "frames", "tapsPerPhase", "factor"})
        ->ArgsProduct({{1, 2, 4, 8}, {32, 256}, {16}, {2, 4}});
}

void readerShapes(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"channels", "frames", "taps", "factor"})->ArgsProduct({{1}, {32, 256}, {8, 32}, {0}});
}

void allpassShapes(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"channels", "frames", "taps", "factor"})->ArgsProduct({{1}, {32, 256}, {1}, {0}});
}

BENCHMARK(BM_FIR)->Apply(filterShapes);
BENCHMARK(BM_FIRFract32)->Apply(filterShapes);
BENCHMARK(BM_FIR_Decimate)->Apply(decimatorShapes);
BENCHMARK(BM_FIR_Decimate_SIMD4)->Apply(decimatorShapes);
BENCHMARK(BM_FIR_DecimateFract32)->Apply(decimatorShapes);
BENCHMARK(BM_FIR_Interpolate)->Apply(interpolatorShapes);
BENCHMARK(BM_FIR_Interpolate_SIMD4)->Apply(interpolatorShapes);
BENCHMARK(BM_FIR_InterpolateFract32)->Apply(interpolatorShapes);
BENCHMARK(BM_FIRSparseReader)->Apply(readerShapes);
BENCHMARK(BM_FIRSparseReaderFract32)->Apply(readerShapes);
BENCHMARK(BM_FIRSparseReaderFract16)->Apply(readerShapes);
BENCHMARK(BM_AllpassDelay16)->Apply(allpassShapes);
BENCHMARK(BM_AllpassDelay16Fract32)->Apply(allpassShapes);
#if KVE_BENCH_LIQUID
BENCHMARK(BM_LiquidFirfilt)->Apply(filterShapes);
BENCHMARK(BM_LiquidFirdecim)->Apply(decimatorShapes);
BENCHMARK(BM_LiquidFirinterp)->Apply(interpolatorShapes);
#endif

} // namespace
