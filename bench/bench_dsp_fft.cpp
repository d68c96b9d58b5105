// The library's own transforms: the real FFT and the complex FFT for N = 64 .. 4096, reported as ns per
// transform. Each iteration first restores the input (a copy of N or 2N floats, a small part of the time), so every
// transform sees the same bounded data rather than a spectrum growing without end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "kve/kve_vec.h"

namespace {

std::vector<float> signal(int32_t count)
{
    std::vector<float> x(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        x[static_cast<size_t>(i)] =
            std::sin(0.01f * static_cast<float>(i)) + 0.3f * std::cos(0.37f * static_cast<float>(i));
    return x;
}

void BM_KveRfft(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<float> input = signal(n);
    std::vector<float> data(input.size());
    for (auto _ : state) {
        data = input;
        kve_vecRfft(data.data(), n, 1);
        benchmark::ClobberMemory();
    }
}

void BM_KveCfft(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<float> input = signal(2 * n);
    std::vector<float> data(input.size());
    for (auto _ : state) {
        data = input;
        kve_vecCfft(data.data(), n, 1);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_KveRfft)->RangeMultiplier(2)->Range(64, 4096);
BENCHMARK(BM_KveCfft)->RangeMultiplier(2)->Range(64, 4096);

} // namespace
