// Float comparison kernels, plain and four-lane, beside the copy of the same block (a word in, a word out, the
// least a comparison can cost), on blocks of 32 and 256 contiguous samples; reported as ns per sample and as
// multiples of real time for one 48 kHz channel. Half the pairs hold the relation, and some are equal.
#include <benchmark/benchmark.h>

#include "BenchReport.h"

#include <cstdint>
#include <vector>

#include "kve/kve_vec.h"

namespace {

// Samples in -1..1 on a short cycle, different for each seed.
std::vector<float> testSignal(int32_t n, int seed)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<float>((i * (7 + seed) + 3 * seed) % 16 - 8) / 8.0f;
    return x;
}

// Runs kernel(a, b, dst, n) on one block; dst takes logic words (or the copied samples).
template <typename Kernel>
void BM_Compare(benchmark::State &state, Kernel kernel)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<float> a = testSignal(n, 1);
    const std::vector<float> b = testSignal(n, 2);
    std::vector<int32_t> dst(static_cast<size_t>(n));
    for (auto _ : state) {
        kernel(a.data(), b.data(), dst.data(), n);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

void shapes(benchmark::internal::Benchmark *b) { b->ArgName("frames")->Arg(32)->Arg(256); }

BENCHMARK_CAPTURE(BM_Compare, Copy32, [](const float *a, const float *, int32_t *d, int32_t n) {
    kve_vecCopy32(a, 1, d, 1, n);
})->Apply(shapes);
BENCHMARK_CAPTURE(BM_Compare, LessThan, [](const float *a, const float *b, int32_t *d, int32_t n) {
    kve_vecLogicCompareLessThan(a, b, d, n);
})->Apply(shapes);
BENCHMARK_CAPTURE(BM_Compare, LessThan_SIMD4, [](const float *a, const float *b, int32_t *d, int32_t n) {
    kve_vecLogicCompareLessThan_SIMD4(a, b, d, n);
})->Apply(shapes);
BENCHMARK_CAPTURE(BM_Compare, ConstNotEqual, [](const float *a, const float *, int32_t *d, int32_t n) {
    kve_vecLogicCompareConstNotEqual(a, 0.5f, d, n);
})->Apply(shapes);
BENCHMARK_CAPTURE(BM_Compare, ConstNotEqual_SIMD4, [](const float *a, const float *, int32_t *d, int32_t n) {
    kve_vecLogicCompareConstNotEqual_SIMD4(a, 0.5f, d, n);
})->Apply(shapes);

} // namespace
