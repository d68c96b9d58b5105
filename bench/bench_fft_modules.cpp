// The float FFT modules' Process per block beside the bare transforms that do the same work, at 256, 512 and 1024
// points on one and two channels: Fft, Ifft and Cfft (BM_ModuleFft, BM_ModuleIfft, BM_ModuleCfft), kissfft's own
// calls on contiguous channel blocks (BM_KissFft, BM_KissIfft, BM_KissCfft) and FFTW's out-of-place transforms planned
// with FFTW_MEASURE (BM_FftwFft, BM_FftwIfft, BM_FftwCfft). A module is meant to stay within 1.2x of bare kissfft:
// what it adds is the channel copies on several channels and the inverse's scaling by 1/N.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <kiss_fft.h>
#include <kiss_fftr.h>

#include "BenchReport.h"
#include "Modules/Advanced/FftModules.h"
#include "support/TestEngine.h"

#if KVE_BENCH_FFTW
#include <fftw3.h>
#endif

namespace {

constexpr uint32_t kFft = 0xBEEF0CF5u, kIfft = 0xBEEF0D09u, kCfft = 0xBEEF0CCEu;
const ModClassDescriptor *const kTable[] = {&kve_modFftClass.record, &kve_modIfftClass.record,
                                            &kve_modCfftClass.record};

// Which transform a benchmark runs, with its words per channel at N points.
enum class Kind { Forward, Inverse, Complex };
uint32_t inWords(Kind k, uint32_t n) { return k == Kind::Forward ? n : k == Kind::Inverse ? n + 2 : 2 * n; }
uint32_t outWords(Kind k, uint32_t n) { return k == Kind::Forward ? n + 2 : k == Kind::Inverse ? n : 2 * n; }

// White noise in -1..1 of `count` words: every bin carries energy.
std::vector<float> testSignal(size_t count, unsigned seed)
{
    std::minstd_rand generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> x(count);
    for (float &v : x)
        v = uniform(generator);
    return x;
}

kvetest::EngineOptions bigHeaps()
{
    kvetest::EngineOptions o;
    o.heapWords = 1u << 16;
    return o;
}

void moduleBench(benchmark::State &state, Kind kind, uint32_t classId, std::initializer_list<uint32_t> args)
{
    const auto n = static_cast<uint32_t>(state.range(0));
    const auto channels = static_cast<uint32_t>(state.range(1));
    kvetest::TestEngine engine(bigHeaps());
    engine->classTable = kTable;
    engine->classCount = std::size(kTable);
    GenericWire *in = engine.wire(channels, inWords(kind, n));
    GenericWire *out = engine.wire(channels, outWords(kind, n));
    ClassModule *m = engine.module(classId, 0x10101u, {in, out, engine.wire(1, 2 * n + 2)}, args);
    if (m == nullptr) {
        state.SkipWithError("module not built");
        return;
    }
    const std::vector<float> x = testSignal(kve::kit::wireWords(in), 1);
    std::copy(x.begin(), x.end(), static_cast<float *>(in->buffer));
    for (auto _ : state) {
        m->classRecord->process(m);
        benchmark::ClobberMemory();
    }
    kve_fwDestroy(engine.get());
    reportPerSample(state, int64_t{n} * channels);
}

void BM_ModuleFft(benchmark::State &state) { moduleBench(state, Kind::Forward, kFft, {}); }
void BM_ModuleIfft(benchmark::State &state) { moduleBench(state, Kind::Inverse, kIfft, {}); }
void BM_ModuleCfft(benchmark::State &state) { moduleBench(state, Kind::Complex, kCfft, {1}); }

// Bare kissfft: one call per channel on a channel's own contiguous block, the least any module could do.
void kissBench(benchmark::State &state, Kind kind)
{
    const auto n = static_cast<uint32_t>(state.range(0));
    const auto channels = static_cast<uint32_t>(state.range(1));
    const uint32_t inStep = inWords(kind, n), outStep = outWords(kind, n);
    const bool isComplex = kind == Kind::Complex;
    const int inverse = kind == Kind::Inverse ? 1 : 0;
    kiss_fftr_cfg real = isComplex ? nullptr : kiss_fftr_alloc(static_cast<int>(n), inverse, nullptr, nullptr);
    kiss_fft_cfg complex = isComplex ? kiss_fft_alloc(static_cast<int>(n), 0, nullptr, nullptr) : nullptr;
    const std::vector<float> x = testSignal(size_t{channels} * inStep, 1);
    std::vector<float> y(size_t{channels} * outStep);
    for (auto _ : state) {
        for (uint32_t c = 0; c < channels; ++c) {
            const float *from = x.data() + c * inStep;
            float *to = y.data() + c * outStep;
            if (kind == Kind::Forward)
                kiss_fftr(real, from, reinterpret_cast<kiss_fft_cpx *>(to));
            else if (kind == Kind::Inverse)
                kiss_fftri(real, reinterpret_cast<const kiss_fft_cpx *>(from), to);
            else
                kiss_fft(complex, reinterpret_cast<const kiss_fft_cpx *>(from), reinterpret_cast<kiss_fft_cpx *>(to));
        }
        benchmark::ClobberMemory();
    }
    kiss_fftr_free(real);
    kiss_fft_free(complex);
    reportPerSample(state, int64_t{n} * channels);
}

void BM_KissFft(benchmark::State &state) { kissBench(state, Kind::Forward); }
void BM_KissIfft(benchmark::State &state) { kissBench(state, Kind::Inverse); }
void BM_KissCfft(benchmark::State &state) { kissBench(state, Kind::Complex); }

#if KVE_BENCH_FFTW
// One FFTW plan over all channels' contiguous blocks (howmany = channels), planned with FFTW_MEASURE, which
// overwrites the arrays while it times candidates: the signal goes in after.
void fftwBench(benchmark::State &state, Kind kind)
{
    const auto n = static_cast<int>(state.range(0));
    const auto channels = static_cast<int>(state.range(1));
    const size_t complexWords = static_cast<size_t>(channels) * 2 * n + 2 * channels;
    float *real = fftwf_alloc_real(static_cast<size_t>(channels) * n);
    fftwf_complex *a = fftwf_alloc_complex(complexWords / 2);
    fftwf_complex *b = fftwf_alloc_complex(complexWords / 2);
    fftwf_plan plan = nullptr;
    const int half = n / 2 + 1;
    if (kind == Kind::Forward)
        plan = fftwf_plan_many_dft_r2c(1, &n, channels, real, nullptr, 1, n, a, nullptr, 1, half, FFTW_MEASURE);
    else if (kind == Kind::Inverse)
        plan = fftwf_plan_many_dft_c2r(1, &n, channels, a, nullptr, 1, half, real, nullptr, 1, n, FFTW_MEASURE);
    else
        plan = fftwf_plan_many_dft(1, &n, channels, a, nullptr, 1, n, b, nullptr, 1, n, FFTW_FORWARD, FFTW_MEASURE);
    const std::vector<float> signal = testSignal(complexWords, 3);
    std::copy(signal.begin(), signal.begin() + static_cast<ptrdiff_t>(channels) * n, real);
    std::copy(signal.begin(), signal.end(), &a[0][0]);
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(b);
    fftwf_free(a);
    fftwf_free(real);
    reportPerSample(state, int64_t{n} * channels);
}

void BM_FftwFft(benchmark::State &state) { fftwBench(state, Kind::Forward); }
void BM_FftwIfft(benchmark::State &state) { fftwBench(state, Kind::Inverse); }
void BM_FftwCfft(benchmark::State &state) { fftwBench(state, Kind::Complex); }
#endif

void sizesAndChannels(benchmark::internal::Benchmark *b)
{
    for (int64_t channels : {1, 2})
        for (int64_t n : {256, 512, 1024})
            b->Args({n, channels});
}

BENCHMARK(BM_ModuleFft)->Apply(sizesAndChannels);
BENCHMARK(BM_KissFft)->Apply(sizesAndChannels);
BENCHMARK(BM_ModuleIfft)->Apply(sizesAndChannels);
BENCHMARK(BM_KissIfft)->Apply(sizesAndChannels);
BENCHMARK(BM_ModuleCfft)->Apply(sizesAndChannels);
BENCHMARK(BM_KissCfft)->Apply(sizesAndChannels);
#if KVE_BENCH_FFTW
BENCHMARK(BM_FftwFft)->Apply(sizesAndChannels);
BENCHMARK(BM_FftwIfft)->Apply(sizesAndChannels);
BENCHMARK(BM_FftwCfft)->Apply(sizesAndChannels);
#endif

} // namespace
