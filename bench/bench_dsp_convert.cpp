// Fill, copy and Fract32 conversion kernels on one block of 32 and of 256 samples, reported as ns per sample and as
// multiples of real time for one 48 kHz channel.
#include <benchmark/benchmark.h>

#include "BenchReport.h"

#include <cstdint>
#include <vector>

#include "kve/kve_vec.h"

namespace {

std::vector<float> testSignal(int32_t n)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<float>((i * 37) % 200 - 100) / 100.0f;
    return x;
}

void BM_Copy32(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<float> src = testSignal(n);
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        kve_vecCopy32(src.data(), 1, dst.data(), 1, n);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

void BM_Fill(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    std::vector<float> dst(static_cast<size_t>(n));
    for (auto _ : state) {
        kve_vecFill(dst.data(), 1, 0.25f, n);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

void BM_FloatToFract32(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<float> src = testSignal(n);
    std::vector<Fract32> dst(src.size());
    for (auto _ : state) {
        kve_vecFloatToFract32(src.data(), 1, dst.data(), 1, n);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

void BM_Fract32ToFloat(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<float> signal = testSignal(n);
    std::vector<Fract32> src(signal.size());
    kve_vecFloatToFract32(signal.data(), 1, src.data(), 1, n);
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        kve_vecFract32ToFloat(src.data(), 1, dst.data(), 1, n);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

BENCHMARK(BM_Copy32)->Arg(32)->Arg(256);
BENCHMARK(BM_Fill)->Arg(32)->Arg(256);
BENCHMARK(BM_FloatToFract32)->Arg(32)->Arg(256);
BENCHMARK(BM_Fract32ToFloat)->Arg(32)->Arg(256);

} // namespace
