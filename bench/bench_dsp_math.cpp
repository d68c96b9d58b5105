// The polynomial decibel conversions on one block of 32 and of 256 samples, beside the exact forms they replace,
// reported as ns per sample and as multiples of real time for one 48 kHz channel.
#include <benchmark/benchmark.h>

#include "BenchReport.h"

#include <cstdint>
#include <vector>

#include "kve/kve_vec.h"

namespace {

// Levels from about -100 dB to full scale, both signs.
std::vector<float> levels(int32_t n)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<float>((i * 37) % 200 - 99) * 1e-5f * static_cast<float>(1 + i % 1000);
    return x;
}

// Gains in dB from -90 to +10.
std::vector<float> gainsDb(int32_t n)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<float>((i * 37) % 100) - 90.0f;
    return x;
}

template <void (*Kernel)(const float *, float *, int32_t), std::vector<float> (*Input)(int32_t)>
void BM_Block(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<float> src = Input(n);
    std::vector<float> dst(src.size());
    for (auto _ : state) {
        Kernel(src.data(), dst.data(), n);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

BENCHMARK(BM_Block<kve_vecDb20_Approx, levels>)->Name("BM_Db20_Approx")->Arg(32)->Arg(256);
BENCHMARK(BM_Block<kve_vecDb20, levels>)->Name("BM_Db20")->Arg(32)->Arg(256);
BENCHMARK(BM_Block<kve_vecUnDb20_Approx, gainsDb>)->Name("BM_UnDb20_Approx")->Arg(32)->Arg(256);
BENCHMARK(BM_Block<kve_vecUnDb20, gainsDb>)->Name("BM_UnDb20")->Arg(32)->Arg(256);

} // namespace
