// The library's short-time Fourier transform as a layout runs it at 16 kHz, frame 512, hop 128 (one block every
// 8 ms): Rebuffer -> sqrt-Hann Window -> Fft -> Ifft -> WindowOverlap (BM_StftChain/WindowOverlap), or ending in
// Window -> OverlapAdd (BM_StftChain/OverlapAdd), one pump of the layout per hop; beside it the voice tests' own
// transform of the same windows on kissfft (BM_StftTestSide). Reported as ns per hop and multiples of real time on
// one core; the chain is meant to run at least 1000x real time. BM_StftChainOverTestSide runs the chain and the test
// side in turns, each timed on its own, and reports chain_over_test_side, the chain's time over the bare transforms'
// (a shared machine's speed drifts by more than the margins judged here), with the chain's multiple of real time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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

// The chain's layout placed with white noise on its input; its output wire, or null (the benchmark then skipped).
GenericWire *placeChain(benchmark::State &state, kvetest::FrequencyChain &chain, const voice::Signal &x)
{
    GenericWire *in = chain.timeWire(1);
    GenericWire *out = chain.synthesis(chain.analysis(in));
    if (out == nullptr || !chain.place()) {
        state.SkipWithError("the transform modules are not in the library's class table");
        return nullptr;
    }
    std::copy(x.begin(), x.end(), kvetest::FrequencyChain::samples(in));
    return out;
}

void BM_StftChain(benchmark::State &state, kvetest::Resynthesis resynthesis)
{
    kvetest::FrequencyChain chain(kSize, kHop, static_cast<float>(voice::kRate), resynthesis);
    const voice::Signal x = voice::whiteNoise(kHop, 0.1, 3);
    GenericWire *out = placeChain(state, chain, x);
    if (out == nullptr)
        return;
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

void BM_StftChainOverTestSide(benchmark::State &state, kvetest::Resynthesis resynthesis)
{
    using Clock = std::chrono::steady_clock;
    kvetest::FrequencyChain chain(kSize, kHop, static_cast<float>(voice::kRate), resynthesis);
    const voice::Signal x = voice::whiteNoise(kHop, 0.1, 3);
    GenericWire *out = placeChain(state, chain, x);
    if (out == nullptr)
        return;
    voice::Stft analysis(kSize, kHop), synthesis(kSize, kHop);
    std::vector<float> spectrum(static_cast<size_t>(2 * analysis.bins())), y(kHop);
    Clock::duration chainTime{}, testSideTime{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        chain.run();
        benchmark::DoNotOptimize(kvetest::FrequencyChain::samples(out)[0]);
        const auto t1 = Clock::now();
        analysis.analyse(x.data(), spectrum.data());
        synthesis.synthesise(spectrum.data(), y.data());
        benchmark::DoNotOptimize(y[0]);
        const auto t2 = Clock::now();
        chainTime += t1 - t0;
        testSideTime += t2 - t1;
    }
    const double chainSeconds = std::chrono::duration<double>(chainTime).count();
    state.counters["chain_over_test_side"] = chainSeconds / std::chrono::duration<double>(testSideTime).count();
    state.counters["chain_realtime_x"] = static_cast<double>(state.iterations()) * kHop / voice::kRate / chainSeconds;
}
BENCHMARK_CAPTURE(BM_StftChainOverTestSide, WindowOverlap, kvetest::Resynthesis::WindowOverlap);
BENCHMARK_CAPTURE(BM_StftChainOverTestSide, OverlapAdd, kvetest::Resynthesis::OverlapAdd);

} // namespace
