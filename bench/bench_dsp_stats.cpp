// Statistics kernels beside peers in the same run, as ns per sample and multiples of real time for one 48 kHz
// channel. The float sum, mean, RMS and variance are meant to stay within 2x of an L1 copy of the same block, the
// extremes with their positions within 3x, on blocks of 32, 256 and 1024 samples; the sort of 1024 constant, sorted
// and random values within 2x of std::sort of the same values (both runs restore the block before each sort).
#include <benchmark/benchmark.h>

#include "BenchReport.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "kve/kve_vec.h"

namespace
{

// A signal in -1..1 (Fract32: -0.5..0.5 of full scale) with no two neighbours equal.
std::vector<float> testSignal(int64_t n)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<float>((i * 7919 + 13) % 2001 - 1000) / 1000.0f;
    return x;
}

std::vector<Fract32> testWords(int64_t n)
{
    const std::vector<float> x = testSignal(n);
    std::vector<Fract32> w(x.size());
    std::transform(x.begin(), x.end(), w.begin(), [](float v) { return static_cast<Fract32>(v * 1073741824.0f); });
    return w;
}

void blockLengths(benchmark::internal::Benchmark *b)
{
    b->ArgName("n")->Arg(32)->Arg(256)->Arg(1024);
}

// The reference: the same block copied within L1.
void BM_StatsCopy(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<float> x = testSignal(n);
    std::vector<float> y(x.size());
    for (auto _ : state) {
        kve_vecCopy32(x.data(), 1, y.data(), 1, n);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}
BENCHMARK(BM_StatsCopy)->Apply(blockLengths);

// A float reduction: kernel(src, n) -> float.
template <typename Kernel> void BM_StatsReduction(benchmark::State &state, Kernel kernel)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<float> x = testSignal(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(kernel(x.data(), n));
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

BENCHMARK_CAPTURE(BM_StatsReduction, Sum, kve_vecSum)->Apply(blockLengths);
BENCHMARK_CAPTURE(BM_StatsReduction, Mean, kve_vecMean)->Apply(blockLengths);
BENCHMARK_CAPTURE(BM_StatsReduction, RMS, kve_vecRMS)->Apply(blockLengths);
BENCHMARK_CAPTURE(BM_StatsReduction, Variance, kve_vecVariance)->Apply(blockLengths);

// An extreme value with its position: kernel(src, n, &index).
template <typename T, typename Kernel> void BM_StatsExtreme(benchmark::State &state, Kernel kernel)
{
    const auto n = static_cast<int32_t>(state.range(0));
    std::vector<T> x;
    if constexpr (std::is_same_v<T, float>)
        x = testSignal(n);
    else
        x = testWords(n);
    uint32_t index = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kernel(x.data(), n, &index));
        benchmark::DoNotOptimize(index);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

template <typename Kernel> void BM_StatsExtremeFloat(benchmark::State &state, Kernel kernel)
{
    BM_StatsExtreme<float>(state, kernel);
}

template <typename Kernel> void BM_StatsExtremeFract32(benchmark::State &state, Kernel kernel)
{
    BM_StatsExtreme<Fract32>(state, kernel);
}

BENCHMARK_CAPTURE(BM_StatsExtremeFloat, MaxIndex, kve_vecMaxIndex)->Apply(blockLengths);
BENCHMARK_CAPTURE(BM_StatsExtremeFloat, MinIndex, kve_vecMinIndex)->Apply(blockLengths);
BENCHMARK_CAPTURE(BM_StatsExtremeFloat, MaxAbsIndex, [](const float *x, int32_t n, uint32_t *index) {
    return kve_vecMaxAbsIndex(x, 1, n, index);
})->Apply(blockLengths);
BENCHMARK_CAPTURE(BM_StatsExtremeFract32, MaxFract32, kve_vecMaxFract32)->Apply(blockLengths);

// The sort of 1024 values in one arrangement, restored from a kept copy before every sort.
enum Arrangement : int64_t { kConstant, kSorted, kRandom };

std::vector<float> arranged(int64_t arrangement)
{
    const int64_t n = 1024;
    std::vector<float> x = testSignal(n);
    if (arrangement == kConstant)
        std::fill(x.begin(), x.end(), 0.0f);
    else if (arrangement == kSorted)
        std::sort(x.begin(), x.end());
    return x;
}

void arrangements(benchmark::internal::Benchmark *b)
{
    b->ArgName("constant0_sorted1_random2")->Arg(kConstant)->Arg(kSorted)->Arg(kRandom);
}

template <typename Sort> void BM_StatsSort(benchmark::State &state, Sort sort)
{
    const std::vector<float> kept = arranged(state.range(0));
    std::vector<float> x(kept.size());
    for (auto _ : state) {
        std::copy(kept.begin(), kept.end(), x.begin());
        sort(x.data(), static_cast<int32_t>(x.size()));
        benchmark::ClobberMemory();
    }
    reportPerSample(state, static_cast<int64_t>(kept.size()));
}

BENCHMARK_CAPTURE(BM_StatsSort, kve_vecSort, kve_vecSort)->Apply(arrangements);
BENCHMARK_CAPTURE(BM_StatsSort, std_sort, [](float *x, int32_t n) { std::sort(x, x + n); })->Apply(arrangements);

} // namespace
