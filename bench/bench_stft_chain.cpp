// The library's short-time Fourier transform as a layout runs it at 16 kHz, frame 512, hop 128 (one block every
// 8 ms): Rebuffer -> sqrt-Hann Window -> Fft -> Ifft -> WindowOverlap (BM_StftChain/WindowOverlap), or ending in
// Window -> OverlapAdd (BM_StftChain/OverlapAdd), one pump of the layout per hop; beside it the voice tests' own
// transform of the same windows on kissfft (BM_StftTestSide). Reported as ns per hop and multiples of real time on
// one core; the chain is meant to run at least 1000x real time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "VoiceQuality/VoiceRig.h"
#include "support/FrequencyChain.h"

namespace {

constexpr int kSize = 512, kHop = 128;

void report(benchmark::State &state)
{
    const auto n = static_cast<double>(state.iterations());
    state.counters["ns_per_hop"] =
        benchmark::Counter(n * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(n * kHop / voice::kRate, benchmark::Counter::kIsRate);
}

void BM_StftChain(benchmark::State &state, kvetest::Resynthesis resynthesis)
{
    kvetest::FrequencyChain chain(kSize, kHop, static_cast<float>(voice::kRate), resynthesis);
    GenericWire *in = chain.timeWire(1);
    GenericWire *out = chain.synthesis(chain.analysis(in));
    if (out == nullptr || !chain.place()) {
        state.SkipWithError("the transform modules are not in the library's class table");
        return;
    }
    const voice::Signal x = voice::whiteNoise(kHop, 0.1, 3);
    std::copy(x.begin(), x.end(), kvetest::FrequencyChain::samples(in));
    for (auto _ : state) {
        chain.run();
        benchmark::DoNotOptimize(kvetest::FrequencyChain::samples(out)[0]);
    }
    report(state);
}
BENCHMARK_CAPTURE(BM_StftChain, WindowOverlap, kvetest::Resynthesis::WindowOverlap);
BENCHMARK_CAPTURE(BM_StftChain, OverlapAdd, kvetest::Resynthesis::OverlapAdd);

void BM_StftTestSide(benchmark::State &state)
{
    voice::Stft analysis(kSize, kHop), synthesis(kSize, kHop);
    const voice::Signal x = voice::whiteNoise(kHop, 0.1, 3);
    std::vector<float> spectrum(static_cast<size_t>(2 * analysis.bins())), y(kHop);
    for (auto _ : state) {
        analysis.analyse(x.data(), spectrum.data());
        synthesis.synthesise(spectrum.data(), y.data());
        benchmark::DoNotOptimize(y[0]);
    }
    report(state);
}
BENCHMARK(BM_StftTestSide);

} // namespace
