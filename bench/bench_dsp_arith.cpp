// Elementwise arithmetic kernels beside the L1 copy of the same data, on blocks of 32 and 256 frames of 1, 2 and 8
// interleaved channels (each channel one call, its increment the channel count); reported as ns per sample and as
// multiples of real time for one 48 kHz channel. The float scale, add and multiply are meant to stay within 1.5x of
// the copy. The contiguous kernels run on one channel.
#include <benchmark/benchmark.h>

#include "BenchReport.h"

#include <cstdint>
#include <type_traits>
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

// A signal in -1..1 (Fract32: -0.5..0.5 of full scale), different for each seed, never zero.
template <typename T>
std::vector<T> testSignal(int64_t n, int seed)
{
    std::vector<T> x(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
        const float v = static_cast<float>((i * (37 + seed) + 11 * seed) % 200 - 99.5) / 100.0f;
        if constexpr (std::is_floating_point_v<T>)
            x[static_cast<size_t>(i)] = v;
        else
            x[static_cast<size_t>(i)] = static_cast<T>(v * 1073741824.0f);
    }
    return x;
}

// Runs kernel(a, b, dst, increment, frames) on every channel of an interleaved block.
template <typename T, typename Kernel>
void runPerChannel(benchmark::State &state, Kernel kernel)
{
    const Block block = blockOf(state);
    const std::vector<T> a = testSignal<T>(block.samples(), 1);
    const std::vector<T> b = testSignal<T>(block.samples(), 2);
    std::vector<T> dst = testSignal<T>(block.samples(), 3);
    for (auto _ : state) {
        for (int32_t c = 0; c < block.channels; ++c)
            kernel(a.data() + c, b.data() + c, dst.data() + c, block.channels, block.frames);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, block.samples());
}

// Runs kernel(a, b, dst, frames) on one contiguous channel.
template <typename T, typename Kernel>
void runContiguous(benchmark::State &state, Kernel kernel)
{
    const auto n = static_cast<int32_t>(state.range(0));
    const std::vector<T> a = testSignal<T>(n, 1);
    const std::vector<T> b = testSignal<T>(n, 2);
    std::vector<T> dst = testSignal<T>(n, 3);
    for (auto _ : state) {
        kernel(a.data(), b.data(), dst.data(), n);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

template <typename Kernel>
void BM_Float(benchmark::State &state, Kernel kernel)
{
    runPerChannel<float>(state, kernel);
}

template <typename Kernel>
void BM_Fract32(benchmark::State &state, Kernel kernel)
{
    runPerChannel<Fract32>(state, kernel);
}

template <typename Kernel>
void BM_FloatContiguous(benchmark::State &state, Kernel kernel)
{
    runContiguous<float>(state, kernel);
}

template <typename Kernel>
void BM_Fract32Contiguous(benchmark::State &state, Kernel kernel)
{
    runContiguous<Fract32>(state, kernel);
}

void perChannelShapes(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"channels", "frames"})->ArgsProduct({{1, 2, 8}, {32, 256}});
}

void contiguousShapes(benchmark::internal::Benchmark *b)
{
    b->ArgName("frames")->Arg(32)->Arg(256);
}

// ---- The reference and the float kernels with a target ----

BENCHMARK_CAPTURE(BM_Float, Copy32, [](const float *a, const float *, float *d, int32_t inc, int32_t n) {
    kve_vecCopy32(a, inc, d, inc, n);
})->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Float, Scale, [](const float *a, const float *, float *d, int32_t inc, int32_t n) {
    kve_vecScale(a, inc, d, inc, 0.7f, n);
})->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Float, Add2x1, [](const float *a, const float *b, float *d, int32_t inc, int32_t n) {
    kve_vecAdd2x1(a, inc, b, inc, d, inc, n);
})->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Float, Multiply2x1,
                  [](const float *a, const float *b, float *d, int32_t inc, int32_t n) {
                      kve_vecMultiply2x1(a, inc, b, inc, d, inc, n);
                  })
    ->Apply(perChannelShapes);

// ---- Other strided kernels ----

BENCHMARK_CAPTURE(BM_Float, Subtract2x1,
                  [](const float *a, const float *b, float *d, int32_t inc, int32_t n) {
                      kve_vecSubtract2x1(a, inc, b, inc, d, inc, n);
                  })
    ->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Float, MultiplyAdd,
                  [](const float *a, const float *b, float *d, int32_t inc, int32_t n) {
                      kve_vecMultiplyAdd(a, inc, b, inc, d, inc, d, inc, n);
                  })
    ->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Float, Offset, [](const float *a, const float *, float *d, int32_t inc, int32_t n) {
    kve_vecOffset(a, inc, d, inc, 0.25f, n);
})->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Float, ScaleOffset,
                  [](const float *a, const float *, float *d, int32_t inc, int32_t n) {
                      kve_vecScaleOffset(a, inc, d, inc, 0.7f, 0.25f, n);
                  })
    ->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Float, ScaleAdd, [](const float *a, const float *, float *d, int32_t inc, int32_t n) {
    kve_vecScaleAdd(a, inc, d, inc, 0.5f, n);
})->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Float, Abs, [](const float *a, const float *, float *d, int32_t inc, int32_t n) {
    kve_vecAbs(a, inc, d, inc, n);
})->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Fract32, ScaleFract32,
                  [](const Fract32 *a, const Fract32 *, Fract32 *d, int32_t inc, int32_t n) {
                      kve_vecScaleFract32(a, inc, d, inc, 0x5A827999, 1, n);
                  })
    ->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Fract32, Add2x1Fract32,
                  [](const Fract32 *a, const Fract32 *b, Fract32 *d, int32_t inc, int32_t n) {
                      kve_vecAdd2x1Fract32(a, inc, b, inc, d, inc, n);
                  })
    ->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Fract32, Multiply2x1Fract32,
                  [](const Fract32 *a, const Fract32 *b, Fract32 *d, int32_t inc, int32_t n) {
                      kve_vecMultiply2x1Fract32(a, inc, b, inc, d, inc, n);
                  })
    ->Apply(perChannelShapes);
BENCHMARK_CAPTURE(BM_Fract32, ScaleAddFract32,
                  [](const Fract32 *a, const Fract32 *, Fract32 *d, int32_t inc, int32_t n) {
                      kve_vecScaleAddFract32(a, inc, d, inc, 0x2000000, 0, n);
                  })
    ->Apply(perChannelShapes);

// ---- Contiguous kernels ----

BENCHMARK_CAPTURE(BM_FloatContiguous, Divide2x1, [](const float *a, const float *b, float *d, int32_t n) {
    kve_vecDivide2x1(a, b, d, n);
})->Apply(contiguousShapes);
BENCHMARK_CAPTURE(BM_FloatContiguous, ScaleOffset_SIMD4, [](const float *a, const float *, float *d, int32_t n) {
    kve_vecScaleOffset_SIMD4(a, d, 0.7f, 0.25f, n);
})->Apply(contiguousShapes);
BENCHMARK_CAPTURE(BM_FloatContiguous, ScaleAdd_SIMD4, [](const float *a, const float *, float *d, int32_t n) {
    kve_vecScaleAdd_SIMD4(a, d, 0.5f, n);
})->Apply(contiguousShapes);
BENCHMARK_CAPTURE(BM_FloatContiguous, ClipAsym, [](const float *a, const float *, float *d, int32_t n) {
    kve_vecClipAsym(a, d, -0.5f, 0.5f, n);
})->Apply(contiguousShapes);
BENCHMARK_CAPTURE(BM_FloatContiguous, SoftClip, [](const float *a, const float *, float *d, int32_t n) {
    kve_vecSoftClip(a, d, 0.5f, 0.9f, n);
})->Apply(contiguousShapes);
BENCHMARK_CAPTURE(BM_Fract32Contiguous, SoftClipFract32, [](const Fract32 *a, const Fract32 *, Fract32 *d, int32_t n) {
    kve_vecSoftClipFract32(a, 0x20000000, 0x38000000, d, n);
})->Apply(contiguousShapes);

} // namespace
