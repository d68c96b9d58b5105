// The float FFT plans beside the library they run on and beside FFTW, forward transforms of 64 to 4096 points,
// reported as ns per point and multiples of real time: the plan's real-to-complex and complex-to-complex transforms
// (BM_AdapterR2C, BM_AdapterC2C), kissfft's own calls on the same data (BM_KissR2C, BM_KissC2C) and FFTW's
// out-of-place transforms planned with FFTW_MEASURE (BM_FftwR2C, BM_FftwC2C). A plan is meant to stay within 1.1x of
// bare kissfft; FFTW shows how far a tuned library is ahead.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <kiss_fft.h>
#include <kiss_fftr.h>

#include "BenchReport.h"
#include "Dsp/Fft/FftPlan.h"

#if KVE_BENCH_FFTW
#include <fftw3.h>
#endif

namespace {

using kve::fft::ComplexFftPlan;
using kve::fft::FftComplex;
using kve::fft::FftPlan;
using kve::fft::RealFftPlan;

// White noise in -1..1 of n words, different for each seed: every bin carries energy.
std::vector<float> testSignal(int64_t n, unsigned seed)
{
    std::minstd_rand generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> x(static_cast<size_t>(n));
    for (float &v : x)
        v = uniform(generator);
    return x;
}

void BM_AdapterR2C(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    RealFftPlan *plan = RealFftPlan::create(n);
    const std::vector<float> x = testSignal(n, 1);
    std::vector<FftComplex> bins(static_cast<size_t>(n / 2 + 1));
    for (auto _ : state) {
        plan->forward(x.data(), bins.data());
        benchmark::ClobberMemory();
    }
    FftPlan::release(plan);
    reportPerSample(state, n);
}

void BM_KissR2C(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    kiss_fftr_cfg cfg = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    const std::vector<float> x = testSignal(n, 1);
    std::vector<kiss_fft_cpx> bins(static_cast<size_t>(n / 2 + 1));
    for (auto _ : state) {
        kiss_fftr(cfg, x.data(), bins.data());
        benchmark::ClobberMemory();
    }
    kiss_fftr_free(cfg);
    reportPerSample(state, n);
}

void BM_AdapterC2C(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    ComplexFftPlan *plan = ComplexFftPlan::create(n);
    const std::vector<float> z = testSignal(2 * int64_t{n}, 2);
    std::vector<FftComplex> bins(static_cast<size_t>(n));
    for (auto _ : state) {
        plan->forward(reinterpret_cast<const FftComplex *>(z.data()), bins.data());
        benchmark::ClobberMemory();
    }
    FftPlan::release(plan);
    reportPerSample(state, n);
}

void BM_KissC2C(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    kiss_fft_cfg cfg = kiss_fft_alloc(n, 0, nullptr, nullptr);
    const std::vector<float> z = testSignal(2 * int64_t{n}, 2);
    std::vector<kiss_fft_cpx> bins(static_cast<size_t>(n));
    for (auto _ : state) {
        kiss_fft(cfg, reinterpret_cast<const kiss_fft_cpx *>(z.data()), bins.data());
        benchmark::ClobberMemory();
    }
    kiss_fft_free(cfg);
    reportPerSample(state, n);
}

#if KVE_BENCH_FFTW
// FFTW plans with FFTW_MEASURE, which overwrites the arrays while it times candidates: the signal goes in after.
void BM_FftwR2C(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    float *x = fftwf_alloc_real(static_cast<size_t>(n));
    fftwf_complex *bins = fftwf_alloc_complex(static_cast<size_t>(n / 2 + 1));
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, x, bins, FFTW_MEASURE);
    const std::vector<float> signal = testSignal(n, 1);
    std::copy(signal.begin(), signal.end(), x);
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(bins);
    fftwf_free(x);
    reportPerSample(state, n);
}

void BM_FftwC2C(benchmark::State &state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    fftwf_complex *z = fftwf_alloc_complex(static_cast<size_t>(n));
    fftwf_complex *bins = fftwf_alloc_complex(static_cast<size_t>(n));
    fftwf_plan plan = fftwf_plan_dft_1d(n, z, bins, FFTW_FORWARD, FFTW_MEASURE);
    const std::vector<float> signal = testSignal(2 * int64_t{n}, 2);
    std::copy(signal.begin(), signal.end(), &z[0][0]);
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(bins);
    fftwf_free(z);
    reportPerSample(state, n);
}
#endif

void fftSizes(benchmark::internal::Benchmark *b) { b->RangeMultiplier(2)->Range(64, 4096); }

BENCHMARK(BM_AdapterR2C)->Apply(fftSizes);
BENCHMARK(BM_KissR2C)->Apply(fftSizes);
BENCHMARK(BM_AdapterC2C)->Apply(fftSizes);
BENCHMARK(BM_KissC2C)->Apply(fftSizes);
#if KVE_BENCH_FFTW
BENCHMARK(BM_FftwR2C)->Apply(fftSizes);
BENCHMARK(BM_FftwC2C)->Apply(fftSizes);
#endif

} // namespace
