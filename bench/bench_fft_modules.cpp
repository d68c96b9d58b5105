// The float FFT modules' Process per block beside the bare transforms that do the same work, at 256, 512 and 1024
// points on one and two channels: Fft, Ifft and Cfft (BM_ModuleFft, BM_ModuleIfft, BM_ModuleCfft), kissfft's own
// calls on contiguous channel blocks (BM_KissFft, BM_KissIfft, BM_KissCfft) and FFTW's out-of-place transforms planned
// with FFTW_MEASURE (BM_FftwFft, BM_FftwIfft, BM_FftwCfft). A module is meant to stay within 1.2x of bare kissfft,
// which BM_PairedFft, BM_PairedIfft and BM_PairedCfft measure by running both in turns. What a module adds is the
// inverse's scaling by 1/N and, on several channels, the moves between the interleaved wires and the transforms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <kiss_fft.h>
#include <kiss_fftr.h>

#include "BenchModule.h"
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

kvetest::EngineOptions bigHeaps()
{
    kvetest::EngineOptions o;
    o.heapWords = 1u << 16;
    return o;
}

// One FFT module of a kind on its own engine, its input holding white noise.
class ModuleRun : public BenchModule {
public:
    ModuleRun(Kind kind, uint32_t classId, std::initializer_list<uint32_t> args, uint32_t n, uint32_t channels)
        : BenchModule(kTable, bigHeaps())
    {
        GenericWire *in = engine_.wire(channels, inWords(kind, n));
        GenericWire *out = engine_.wire(channels, outWords(kind, n));
        module_ = engine_.module(classId, 0x10101u, {in, out, engine_.wire(1, 2 * n + 2)}, args);
        const std::vector<float> x = whiteNoise(kve::kit::wireWords(in), 1);
        std::copy(x.begin(), x.end(), static_cast<float *>(in->buffer));
    }
};

// Bare kissfft: one call per channel on a channel's own contiguous block, the least any module could do.
class KissRun {
public:
    KissRun(Kind kind, uint32_t n, uint32_t channels)
        : kind_(kind), channels_(channels), inStep_(inWords(kind, n)), outStep_(outWords(kind, n)),
          x_(whiteNoise(size_t{channels} * inStep_, 1)), y_(size_t{channels} * outStep_)
    {
        if (kind == Kind::Complex)
            complex_ = kiss_fft_alloc(static_cast<int>(n), 0, nullptr, nullptr);
        else
            real_ = kiss_fftr_alloc(static_cast<int>(n), kind == Kind::Inverse ? 1 : 0, nullptr, nullptr);
    }
    ~KissRun()
    {
        kiss_fftr_free(real_);
        kiss_fft_free(complex_);
    }
    KissRun(const KissRun &) = delete;
    KissRun &operator=(const KissRun &) = delete;

    void run()
    {
        for (uint32_t c = 0; c < channels_; ++c) {
            const float *from = x_.data() + c * inStep_;
            float *to = y_.data() + c * outStep_;
            if (kind_ == Kind::Forward)
                kiss_fftr(real_, from, reinterpret_cast<kiss_fft_cpx *>(to));
            else if (kind_ == Kind::Inverse)
                kiss_fftri(real_, reinterpret_cast<const kiss_fft_cpx *>(from), to);
            else
                kiss_fft(complex_, reinterpret_cast<const kiss_fft_cpx *>(from), reinterpret_cast<kiss_fft_cpx *>(to));
        }
    }

private:
    Kind kind_;
    uint32_t channels_, inStep_, outStep_;
    std::vector<float> x_, y_;
    kiss_fftr_cfg real_ = nullptr;
    kiss_fft_cfg complex_ = nullptr;
};

void moduleBench(benchmark::State &state, Kind kind, uint32_t classId, std::initializer_list<uint32_t> args)
{
    const auto n = static_cast<uint32_t>(state.range(0));
    const auto channels = static_cast<uint32_t>(state.range(1));
    ModuleRun module(kind, classId, args, n, channels);
    if (!module.built()) {
        state.SkipWithError("module not built");
        return;
    }
    for (auto _ : state) {
        module.run();
        benchmark::ClobberMemory();
    }
    reportPerSample(state, int64_t{n} * channels);
}

void BM_ModuleFft(benchmark::State &state) { moduleBench(state, Kind::Forward, kFft, {}); }
void BM_ModuleIfft(benchmark::State &state) { moduleBench(state, Kind::Inverse, kIfft, {}); }
void BM_ModuleCfft(benchmark::State &state) { moduleBench(state, Kind::Complex, kCfft, {1}); }

void kissBench(benchmark::State &state, Kind kind)
{
    const auto n = static_cast<uint32_t>(state.range(0));
    const auto channels = static_cast<uint32_t>(state.range(1));
    KissRun kiss(kind, n, channels);
    for (auto _ : state) {
        kiss.run();
        benchmark::ClobberMemory();
    }
    reportPerSample(state, int64_t{n} * channels);
}

void BM_KissFft(benchmark::State &state) { kissBench(state, Kind::Forward); }
void BM_KissIfft(benchmark::State &state) { kissBench(state, Kind::Inverse); }
void BM_KissCfft(benchmark::State &state) { kissBench(state, Kind::Complex); }

// The module and bare kissfft in turns within one loop, each timed on its own. Reports module_over_kiss, the
// module's time over kissfft's.
void pairedBench(benchmark::State &state, Kind kind, uint32_t classId, std::initializer_list<uint32_t> args)
{
    const auto n = static_cast<uint32_t>(state.range(0));
    const auto channels = static_cast<uint32_t>(state.range(1));
    ModuleRun module(kind, classId, args, n, channels);
    KissRun kiss(kind, n, channels);
    if (!module.built()) {
        state.SkipWithError("module not built");
        return;
    }
    const auto [moduleTime, kissTime] = timeInTurns(state, [&] { module.run(); }, [&] { kiss.run(); });
    state.counters["module_over_kiss"] = moduleTime / kissTime;
}

void BM_PairedFft(benchmark::State &state) { pairedBench(state, Kind::Forward, kFft, {}); }
void BM_PairedIfft(benchmark::State &state) { pairedBench(state, Kind::Inverse, kIfft, {}); }
void BM_PairedCfft(benchmark::State &state) { pairedBench(state, Kind::Complex, kCfft, {1}); }

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
    const std::vector<float> signal = whiteNoise(complexWords, 3);
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
BENCHMARK(BM_PairedFft)->Apply(sizesAndChannels);
BENCHMARK(BM_PairedIfft)->Apply(sizesAndChannels);
BENCHMARK(BM_PairedCfft)->Apply(sizesAndChannels);
#if KVE_BENCH_FFTW
BENCHMARK(BM_FftwFft)->Apply(sizesAndChannels);
BENCHMARK(BM_FftwIfft)->Apply(sizesAndChannels);
BENCHMARK(BM_FftwCfft)->Apply(sizesAndChannels);
#endif

} // namespace
