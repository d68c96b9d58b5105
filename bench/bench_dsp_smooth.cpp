// Smoothed gain kernels beside the plain scalers they replace during a gain change, and the dense mixers, on blocks of
// 32 and 256 frames of 1, 2 and 8 interleaved channels; reported as ns per sample and as multiples of real time for
// one 48 kHz channel. "Glide" runs restart every block from a gain away from the target, so the gain moves on every
// sample; "Hold" runs start at the target; "Rest" runs start where a glide toward the target ends in single precision,
// at a gain the step no longer moves, a little short of the target. A smoothed gain at rest should cost what the
// plain scaler beside it costs (BM_Scale, BM_ScaleAdd, BM_ScalePerChannel of the same run).
#include <benchmark/benchmark.h>

#include "BenchReport.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "kve/kve_vec.h"

namespace {

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

std::vector<float> testSignal(int64_t n)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<float>((i * 37) % 200 - 100) / 100.0f;
    return x;
}

std::vector<Fract32> testSignalFract32(int64_t n)
{
    const std::vector<float> x = testSignal(n);
    std::vector<Fract32> y(x.size());
    kve_vecFloatToFract32(x.data(), 1, y.data(), 1, static_cast<int32_t>(n));
    return y;
}

constexpr float kTarget = 1.0f;
constexpr float kCoeff = 0.00208f; // 10 ms at 48 kHz, per sample
constexpr Fract32 kTargetFract32 = 0x40000000;
constexpr Fract32 kCoeffFract32 = 0x0044284D;

// The gain a glide from 0.5 toward kTarget ends at: the first one that the step g x (1 - kCoeff) + kCoeff x kTarget
// hands back unchanged.
float restingGain()
{
    const float keep = 1.0f - kCoeff;
    const float pull = kCoeff * kTarget;
    float g = 0.5f;
    for (float next = std::fma(g, keep, pull); next != g; next = std::fma(g, keep, pull))
        g = next;
    return g;
}

// ---- Float, all channels of the block at once ----

void BM_Scale(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> src = testSignal(b.samples());
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        kve_vecScale(src.data(), 1, dst.data(), 1, 0.5f, static_cast<int32_t>(b.samples()));
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

void runScaleSmoothNch(benchmark::State &state, float start)
{
    const Block b = blockOf(state);
    const std::vector<float> src = testSignal(b.samples());
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        float gain = start;
        kve_vecScaleSmooth_Nch(src.data(), dst.data(), b.channels, &gain, kTarget, kCoeff, b.frames);
        benchmark::DoNotOptimize(gain);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

void BM_ScaleSmooth_Nch_Glide(benchmark::State &state) { runScaleSmoothNch(state, 0.5f); }
void BM_ScaleSmooth_Nch_Hold(benchmark::State &state) { runScaleSmoothNch(state, kTarget); }
void BM_ScaleSmooth_Nch_Rest(benchmark::State &state) { runScaleSmoothNch(state, restingGain()); }

void BM_ScaleAdd(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> src = testSignal(b.samples());
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        kve_vecScaleAdd(src.data(), 1, dst.data(), 1, 1e-3f, static_cast<int32_t>(b.samples()));
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

void runScaleAddSmoothNch(benchmark::State &state, float start)
{
    const Block b = blockOf(state);
    const std::vector<float> src = testSignal(b.samples());
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        float gain = start;
        kve_vecScaleAddSmooth_Nch(src.data(), dst.data(), b.channels, &gain, kTarget, kCoeff, b.frames);
        benchmark::DoNotOptimize(gain);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

void BM_ScaleAddSmooth_Nch_Glide(benchmark::State &state) { runScaleAddSmoothNch(state, 0.5f); }
void BM_ScaleAddSmooth_Nch_Hold(benchmark::State &state) { runScaleAddSmoothNch(state, kTarget); }
void BM_ScaleAddSmooth_Nch_Rest(benchmark::State &state) { runScaleAddSmoothNch(state, restingGain()); }

// ---- Float, one channel at a time (strided, as the per-channel modules call them) ----

void BM_ScalePerChannel(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> src = testSignal(b.samples());
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        for (int32_t c = 0; c < b.channels; ++c)
            kve_vecScale(src.data() + c, b.channels, dst.data() + c, b.channels, 0.5f, b.frames);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

void runScaleSmoothPerChannel(benchmark::State &state, float start)
{
    const Block b = blockOf(state);
    const std::vector<float> src = testSignal(b.samples());
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        for (int32_t c = 0; c < b.channels; ++c) {
            float gain = start;
            kve_vecScaleSmooth(src.data() + c, b.channels, dst.data() + c, b.channels, &gain, kTarget, kCoeff,
                               b.frames);
            benchmark::DoNotOptimize(gain);
        }
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

void BM_ScaleSmoothPerChannel_Glide(benchmark::State &state) { runScaleSmoothPerChannel(state, 0.5f); }
void BM_ScaleSmoothPerChannel_Hold(benchmark::State &state) { runScaleSmoothPerChannel(state, kTarget); }
void BM_ScaleSmoothPerChannel_Rest(benchmark::State &state) { runScaleSmoothPerChannel(state, restingGain()); }

// ---- Fract32 ----

void BM_ScaleFract32PerChannel(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<Fract32> src = testSignalFract32(b.samples());
    std::vector<Fract32> dst(src.size());
    for (auto _ : state) {
        for (int32_t c = 0; c < b.channels; ++c)
            kve_vecScaleFract32(src.data() + c, b.channels, dst.data() + c, b.channels, kTargetFract32, 1, b.frames);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

void BM_ScaleSmooth_NchFract32(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<Fract32> src = testSignalFract32(b.samples());
    std::vector<Fract32> dst(src.size());
    for (auto _ : state) {
        Fract32 gain = 0;
        kve_vecScaleSmooth_NchFract32(src.data(), dst.data(), b.channels, &gain, kTargetFract32, 1, kCoeffFract32,
                                      b.frames);
        benchmark::DoNotOptimize(gain);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

// ---- Dense mixers, channels in and out ----

void BM_MixerDense(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<float> src = testSignal(b.samples());
    const std::vector<float> gains = testSignal(int64_t{b.channels} * b.channels);
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        kve_vecMixerDense(src.data(), b.channels, dst.data(), b.channels, gains.data(), b.frames);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

void BM_MixerDenseFract32(benchmark::State &state)
{
    const Block b = blockOf(state);
    const std::vector<Fract32> src = testSignalFract32(b.samples());
    const std::vector<Fract32> gains = testSignalFract32(int64_t{b.channels} * b.channels);
    std::vector<Fract32> dst(src.size());
    for (auto _ : state) {
        kve_vecMixerDenseFract32(src.data(), b.channels, dst.data(), b.channels, gains.data(), 0, b.frames);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, b.samples());
}

void blockShapes(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"channels", "frames"});
    for (int64_t channels : {1, 2, 8})
        for (int64_t frames : {32, 256})
            b->Args({channels, frames});
}

BENCHMARK(BM_Scale)->Apply(blockShapes);
BENCHMARK(BM_ScaleSmooth_Nch_Glide)->Apply(blockShapes);
BENCHMARK(BM_ScaleSmooth_Nch_Hold)->Apply(blockShapes);
BENCHMARK(BM_ScaleSmooth_Nch_Rest)->Apply(blockShapes);
BENCHMARK(BM_ScaleAdd)->Apply(blockShapes);
BENCHMARK(BM_ScaleAddSmooth_Nch_Glide)->Apply(blockShapes);
BENCHMARK(BM_ScaleAddSmooth_Nch_Hold)->Apply(blockShapes);
BENCHMARK(BM_ScaleAddSmooth_Nch_Rest)->Apply(blockShapes);
BENCHMARK(BM_ScalePerChannel)->Apply(blockShapes);
BENCHMARK(BM_ScaleSmoothPerChannel_Glide)->Apply(blockShapes);
BENCHMARK(BM_ScaleSmoothPerChannel_Hold)->Apply(blockShapes);
BENCHMARK(BM_ScaleSmoothPerChannel_Rest)->Apply(blockShapes);
BENCHMARK(BM_ScaleFract32PerChannel)->Apply(blockShapes);
BENCHMARK(BM_ScaleSmooth_NchFract32)->Apply(blockShapes);
BENCHMARK(BM_MixerDense)->Apply(blockShapes);
BENCHMARK(BM_MixerDenseFract32)->Apply(blockShapes);

} // namespace
