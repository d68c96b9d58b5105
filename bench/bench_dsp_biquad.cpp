// Float biquad kernels on blocks of 32 and 256 frames of 1, 2, 4 and 8 interleaved channels, through 1 or 4
// sections, reported as ns per sample per section (time_per_sample_section) and as multiples of real time for one
// 48 kHz channel. Channel counts a kernel does not cover run as several calls on channel groups (two-channel kernels
// on channel pairs, one-channel kernels on each channel, strided), as modules call them. Beside them: the floor of
// any recursion, one dependent multiply-add per sample, and liquid-dsp's IIR filter of second-order sections on the
// same data (one filter object per channel, each on its own contiguous channel, as that library takes them).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "kve/kve_design.h"
#include "kve/kve_vec.h"

#if defined(KVE_BENCH_LIQUID)
#include <complex>

#include <liquid/liquid.h>
#endif

namespace {

// Counts samples times sections and adds two counters: the time per sample and section, and the multiple of real
// time for one 48 kHz channel (a plain ratio, though the console labels every rate "/s").
void reportPerSampleSection(benchmark::State &state, int64_t samplesPerIteration, int64_t sections)
{
    const auto samples = static_cast<double>(state.iterations()) * static_cast<double>(samplesPerIteration);
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["time_per_sample_section"] = benchmark::Counter(
        samples * static_cast<double>(sections), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x_48k"] = benchmark::Counter(samples / 48000.0, benchmark::Counter::kIsRate);
}

// The block shape of a run: range(0) channels, range(1) frames, range(2) sections.
struct Block {
    int32_t channels;
    int32_t frames;
    int32_t sections;
    int64_t samples() const { return int64_t{channels} * frames; }
};

Block blockOf(const benchmark::State &state)
{
    return {static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
            static_cast<int32_t>(state.range(2))};
}

std::vector<float> testSignal(int64_t n)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<float>((i * 37) % 200 - 100) / 100.0f;
    return x;
}

// Four stable second-order sections b0 b1 b2 a1 a2: lowpass, resonance, highpass, poles towards half the rate.
constexpr float kSections[4][5] = {
    {0.0675f, 0.135f, 0.0675f, -1.143f, 0.4128f},
    {1.05f, -1.80f, 0.86f, -1.8151f, 0.9025f},
    {0.92f, -1.84f, 0.92f, -1.83f, 0.85f},
    {0.5f, 0.2f, -0.3f, 0.6f, 0.3f},
};

std::vector<float> cascadeOf(int32_t sections)
{
    std::vector<float> c;
    for (int32_t k = 0; k < sections; ++k)
        c.insert(c.end(), kSections[k], kSections[k] + 5);
    return c;
}

std::vector<float> stateSpaceCascadeOf(int32_t sections)
{
    std::vector<float> c(static_cast<size_t>(5 * sections));
    for (int32_t k = 0; k < sections; ++k)
        design_sos2ss(kSections[k], &c[static_cast<size_t>(5 * k)]);
    return c;
}

// Runs `call(src, dst, state)` once per iteration over a block; the state carries on from block to block as it does
// in a module.
template <typename Call>
void runBlocks(benchmark::State &state, const Block &b, size_t stateWords, Call call)
{
    const std::vector<float> src = testSignal(b.samples());
    std::vector<float> dst(src.size());
    std::vector<float> filterState(stateWords, 0.0f);
    for (auto _ : state) {
        call(src.data(), dst.data(), filterState.data());
        benchmark::ClobberMemory();
    }
    reportPerSampleSection(state, b.samples(), b.sections);
}

// ---- The floor: one multiply-add per sample, each waiting for the one before ----

void BM_ReferenceMultiplyAddChain(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> src = testSignal(b.frames);
    std::vector<float> dst(src.size());
    float carried = 0.0f;
    for (auto _ : state) {
        float acc = carried; // in a register through the block, as a kernel keeps its state
        for (size_t i = 0; i < src.size(); ++i) {
            acc = std::fma(acc, 0.5f, src[i]);
            dst[i] = acc;
        }
        carried = acc;
        benchmark::ClobberMemory();
    }
    reportPerSampleSection(state, b.frames, 1);
}

// ---- Direct form II ----

// One channel at a time, strided: what a per-channel module pays.
void BM_BiquadCascade_PerChannel(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> coeffs = cascadeOf(b.sections);
    runBlocks(state, b, static_cast<size_t>(2 * b.sections * b.channels), [&](const float *s, float *d, float *st) {
        for (int32_t c = 0; c < b.channels; ++c)
            kve_vecBiquadCascade(s + c, b.channels, d + c, b.channels, coeffs.data(), st + 2 * b.sections * c,
                                 b.sections, b.frames);
    });
}

// The single-section kernels: one, two or four channels per call.
void BM_Biquad_Nch(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> coeffs = cascadeOf(1);
    runBlocks(state, b, static_cast<size_t>(2 * b.channels), [&](const float *s, float *d, float *st) {
        switch (b.channels) {
        case 1:
            kve_vecBiquad(s, 1, d, 1, coeffs.data(), st, b.frames);
            break;
        case 2:
            kve_vecBiquad_2ch(s, 2, d, 2, coeffs.data(), st, b.frames);
            break;
        default:
            for (int32_t c = 0; c < b.channels; c += 4)
                kve_vecBiquad_4ch(s + c, b.channels, d + c, b.channels, coeffs.data(), st + 2 * c, b.frames);
            break;
        }
    });
}

// The cascades: one channel, or two per call.
void BM_BiquadCascade_Nch(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> coeffs = cascadeOf(b.sections);
    runBlocks(state, b, static_cast<size_t>(2 * b.sections * b.channels), [&](const float *s, float *d, float *st) {
        if (b.channels == 1) {
            kve_vecBiquadCascade(s, 1, d, 1, coeffs.data(), st, b.sections, b.frames);
            return;
        }
        for (int32_t c = 0; c < b.channels; c += 2)
            kve_vecBiquadCascade_2ch(s + c, b.channels, d + c, b.channels, coeffs.data(), st + 2 * b.sections * c,
                                     b.sections, b.frames);
    });
}

// ---- Direct form I, state space, quad precision: one channel per call ----

void BM_BiquadCascade_DF1(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> coeffs = cascadeOf(b.sections);
    runBlocks(state, b, static_cast<size_t>(4 * b.sections * b.channels), [&](const float *s, float *d, float *st) {
        for (int32_t c = 0; c < b.channels; ++c)
            kve_vecBiquadCascade_DF1(s + c, b.channels, d + c, b.channels, coeffs.data(), st + 4 * b.sections * c,
                                     b.sections, b.frames);
    });
}

// One channel per call on one channel, two per call otherwise.
void BM_BiquadCascadeSS_Nch(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> coeffs = stateSpaceCascadeOf(b.sections);
    runBlocks(state, b, static_cast<size_t>(2 * b.sections * b.channels), [&](const float *s, float *d, float *st) {
        if (b.channels == 1) {
            kve_vecBiquadCascadeSS(s, 1, d, 1, coeffs.data(), st, b.sections, b.frames);
            return;
        }
        for (int32_t c = 0; c < b.channels; c += 2)
            kve_vecBiquadCascadeSS_2ch(s + c, b.channels, d + c, b.channels, coeffs.data(),
                                       st + 2 * b.sections * c, b.sections, b.frames);
    });
}

void BM_BiquadCascade40(benchmark::State &state)
{
    const Block b = blockOf(state);
    std::vector<kve_LongDouble> coeffs;
    for (float v : cascadeOf(b.sections))
        coeffs.push_back(v);
    std::vector<kve_LongDouble> filterState(static_cast<size_t>(2 * b.sections * b.channels), 0);
    const std::vector<float> src = testSignal(b.samples());
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        for (int32_t c = 0; c < b.channels; ++c)
            kve_vecBiquadCascade40(src.data() + c, b.channels, dst.data() + c, b.channels, coeffs.data(),
                                   filterState.data() + 2 * b.sections * c, b.sections, b.frames);
        benchmark::ClobberMemory();
    }
    reportPerSampleSection(state, b.samples(), b.sections);
}

// ---- Four-lane forms: two channels per call ----

void BM_BiquadCascade_SIMD4(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> coeffs = cascadeOf(b.sections);
    runBlocks(state, b, static_cast<size_t>(2 * b.sections * b.channels), [&](const float *s, float *d, float *st) {
        for (int32_t c = 0; c < b.channels; c += 2)
            kve_vecBiquadCascade_SIMD4(s + c, b.channels, d + c, b.channels, coeffs.data(), st + 2 * b.sections * c,
                                       b.sections, b.frames);
    });
}

void BM_BiquadNCascade_SIMD4(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> coeffs = cascadeOf(b.sections);
    runBlocks(state, b, static_cast<size_t>(2 * b.sections * b.channels), [&](const float *s, float *d, float *st) {
        for (int32_t c = 0; c < b.channels; c += 2)
            kve_vecBiquadNCascade_SIMD4(s + c, b.channels, d + c, b.channels, coeffs.data(), coeffs.data(),
                                        st + 2 * b.sections * c, b.sections, b.frames);
    });
}

// Always four sections, one channel per call.
void BM_BiquadCascadeDelay(benchmark::State &state)
{
    const Block b = blockOf(state);
    std::vector<float> coeffs(20);
    for (int j = 0; j < 5; ++j)
        for (int k = 0; k < 4; ++k)
            coeffs[static_cast<size_t>(4 * j + k)] = kSections[k][j];
    runBlocks(state, b, static_cast<size_t>(13 * b.channels), [&](const float *s, float *d, float *st) {
        for (int32_t c = 0; c < b.channels; ++c)
            kve_vecBiquadCascadeDelay(s + c, b.channels, d + c, b.channels, coeffs.data(), st + 13 * c, b.frames);
    });
}

#if defined(KVE_BENCH_LIQUID)
// liquid-dsp's IIR filter built from the same second-order sections, one object and one contiguous buffer per
// channel.
void BM_Liquid_IirfiltSos(benchmark::State &state)
{
    const Block b = blockOf(state);
    std::vector<float> num, den;
    for (int32_t k = 0; k < b.sections; ++k) {
        num.insert(num.end(), kSections[k], kSections[k] + 3);
        den.insert(den.end(), {1.0f, kSections[k][3], kSections[k][4]});
    }
    std::vector<iirfilt_rrrf> filters;
    std::vector<std::vector<float>> src, dst;
    for (int32_t c = 0; c < b.channels; ++c) {
        filters.push_back(iirfilt_rrrf_create_sos(num.data(), den.data(), static_cast<unsigned>(b.sections)));
        src.push_back(testSignal(b.frames));
        dst.emplace_back(static_cast<size_t>(b.frames));
    }
    for (auto _ : state) {
        for (int32_t c = 0; c < b.channels; ++c)
            iirfilt_rrrf_execute_block(filters[static_cast<size_t>(c)], src[static_cast<size_t>(c)].data(),
                                       static_cast<unsigned>(b.frames), dst[static_cast<size_t>(c)].data());
        benchmark::ClobberMemory();
    }
    for (iirfilt_rrrf q : filters)
        iirfilt_rrrf_destroy(q);
    reportPerSampleSection(state, b.samples(), b.sections);
}
#endif

// channels x frames x sections
void AllShapes(benchmark::internal::Benchmark *b)
{
    b->ArgsProduct({{1, 2, 4, 8}, {32, 256}, {1, 4}});
}

void MultiChannelShapes(benchmark::internal::Benchmark *b)
{
    b->ArgsProduct({{2, 4, 8}, {32, 256}, {1, 4}});
}

} // namespace

BENCHMARK(BM_ReferenceMultiplyAddChain)->ArgsProduct({{1}, {32, 256}, {1}});
BENCHMARK(BM_BiquadCascade_PerChannel)->Apply(AllShapes);
BENCHMARK(BM_Biquad_Nch)->ArgsProduct({{1, 2, 4, 8}, {32, 256}, {1}});
BENCHMARK(BM_BiquadCascade_Nch)->Apply(AllShapes);
BENCHMARK(BM_BiquadCascade_DF1)->Apply(AllShapes);
BENCHMARK(BM_BiquadCascadeSS_Nch)->Apply(AllShapes);
BENCHMARK(BM_BiquadCascade40)->Apply(AllShapes);
BENCHMARK(BM_BiquadCascade_SIMD4)->Apply(MultiChannelShapes);
BENCHMARK(BM_BiquadNCascade_SIMD4)->Apply(MultiChannelShapes);
BENCHMARK(BM_BiquadCascadeDelay)->ArgsProduct({{1, 2, 4, 8}, {32, 256}, {4}});
#if defined(KVE_BENCH_LIQUID)
BENCHMARK(BM_Liquid_IirfiltSos)->Apply(AllShapes);
#endif
