// Fixed-point biquads on blocks of 32 and 256 frames of 1 and 2 interleaved channels, called once per channel with
// the frame stride as increment (as the filter modules call them): the direct-form-I section, its contiguous twin, a
// four-section Q4.28 cascade and the four datapath models. Reported as ns per sample and section, and as multiples
// of real time for one 48 kHz channel of the whole filter.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "kve/kve_vec.h"

namespace {

// A resonant lowpass held with shift 1 (a1 = -1.75, a2 = 0.78): stable, so the samples stay ordinary.
constexpr int32_t kShift = 1;
constexpr Fract32 kSection[5] = {0x01000000, 0x02000000, 0x01000000, -0x70000000, 0x31EB851F};
constexpr int32_t kCascadeSections = 4;

void report(benchmark::State &state, int64_t samplesPerIteration, int32_t sections)
{
    const auto samples = static_cast<double>(state.iterations()) * static_cast<double>(samplesPerIteration);
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["time_per_sample_section"] =
        benchmark::Counter(samples * sections, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x_48k"] = benchmark::Counter(samples / 48000.0, benchmark::Counter::kIsRate);
}

// The block shape of a run: range(0) channels, range(1) frames.
struct Block {
    int32_t channels;
    int32_t frames;
    int64_t samples() const { return int64_t{channels} * frames; }
};

Block blockOf(const benchmark::State &state)
{
    return {static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1))};
}

std::vector<Fract32> testSignal(int64_t n)
{
    std::vector<Fract32> x(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<Fract32>(((i * 37) % 200 - 100) * 10737418);
    return x;
}

// One section kernel of the strided signature, run per channel with its own state record.
template <typename Kernel>
void runSection(benchmark::State &state, Kernel kernel)
{
    const Block b = blockOf(state);
    const std::vector<Fract32> src = testSignal(b.samples());
    std::vector<Fract32> dst(src.size());
    std::vector<int32_t> filterState(static_cast<size_t>(6 * b.channels), 0);
    for (auto _ : state) {
        for (int32_t c = 0; c < b.channels; ++c)
            kernel(src.data() + c, b.channels, dst.data() + c, b.channels, filterState.data() + 6 * c, b.frames);
        benchmark::ClobberMemory();
    }
    report(state, b.samples(), 1);
}

void BM_BiquadFract32(benchmark::State &state)
{
    runSection(state, [](const Fract32 *s, int32_t inc, Fract32 *d, int32_t dInc, int32_t *st, int32_t n) {
        kve_vecBiquadFract32(s, inc, d, dInc, kSection, st, kShift, n);
    });
}

void BM_BiquadFract32_single(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<Fract32> src = testSignal(b.frames);
    std::vector<Fract32> dst(src.size());
    Fract32 filterState[4] = {};
    for (auto _ : state) {
        kve_vecBiquadFract32_single(src.data(), dst.data(), kSection, filterState, kShift, b.frames);
        benchmark::ClobberMemory();
    }
    report(state, b.frames, 1);
}

void BM_BiquadCascadeFract32(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<Fract32> src = testSignal(b.samples());
    std::vector<Fract32> dst(src.size());
    std::vector<Fract32> coeffs;
    for (int32_t k = 0; k < kCascadeSections; ++k)
        coeffs.insert(coeffs.end(), kSection, kSection + 5);
    const std::vector<int32_t> shifts(kCascadeSections, kShift);
    std::vector<Fract32> filterState(static_cast<size_t>(4 * kCascadeSections * b.channels), 0);
    for (auto _ : state) {
        for (int32_t c = 0; c < b.channels; ++c)
            kve_vecBiquadCascadeFract32(src.data() + c, b.channels, dst.data() + c, b.channels, coeffs.data(),
                                        filterState.data() + 4 * kCascadeSections * c, shifts.data(), b.frames,
                                        kCascadeSections);
        benchmark::ClobberMemory();
    }
    report(state, b.samples(), kCascadeSections);
}

void BM_BiquadFract24x24A56(benchmark::State &state)
{
    runSection(state, [](const Fract32 *s, int32_t inc, Fract32 *d, int32_t dInc, int32_t *st, int32_t n) {
        kve_vecBiquadFract24x24A56(s, inc, d, dInc, kSection, st, kShift, kShift, n);
    });
}

void BM_BiquadFract32x32A64(benchmark::State &state)
{
    runSection(state, [](const Fract32 *s, int32_t inc, Fract32 *d, int32_t dInc, int32_t *st, int32_t n) {
        kve_vecBiquadFract32x32A64(s, inc, d, dInc, kSection, st, kShift, kShift, n);
    });
}

void BM_BiquadFract32x32A32(benchmark::State &state)
{
    runSection(state, [](const Fract32 *s, int32_t inc, Fract32 *d, int32_t dInc, int32_t *st, int32_t n) {
        kve_vecBiquadFract32x32A32(s, inc, d, dInc, kSection, st, kShift, kShift, n);
    });
}

void BM_BiquadFract24x24A24(benchmark::State &state)
{
    runSection(state, [](const Fract32 *s, int32_t inc, Fract32 *d, int32_t dInc, int32_t *st, int32_t n) {
        kve_vecBiquadFract24x24A24(s, inc, d, dInc, kSection, st, kShift, kShift, n);
    });
}

void blocks(benchmark::internal::Benchmark *b)
{
    for (int64_t channels : {1, 2})
        for (int64_t frames : {32, 256})
            b->Args({channels, frames});
}

void oneChannelBlocks(benchmark::internal::Benchmark *b)
{
    for (int64_t frames : {32, 256})
        b->Args({1, frames});
}

} // namespace

BENCHMARK(BM_BiquadFract32)->Apply(blocks);
BENCHMARK(BM_BiquadFract32_single)->Apply(oneChannelBlocks);
BENCHMARK(BM_BiquadCascadeFract32)->Apply(blocks);
BENCHMARK(BM_BiquadFract24x24A56)->Apply(blocks);
BENCHMARK(BM_BiquadFract32x32A64)->Apply(blocks);
BENCHMARK(BM_BiquadFract32x32A32)->Apply(blocks);
BENCHMARK(BM_BiquadFract24x24A24)->Apply(blocks);
