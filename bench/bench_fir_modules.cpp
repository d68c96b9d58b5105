// The FIR modules' Process per block: FIRDecimator (64 taps, factor 4) per output sample beside liquid-dsp's
// decimator (firdecim_rrrf) on the same taps and data, run in turns within one loop (BM_PairedDecimator, which
// reports liquid_over_module, liquid's time over the module's: the module is meant to be at least 2x faster); and
// LMS per tap per sample (BM_LMS, time_per_sample_tap).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "BenchReport.h"
#include "Modules/Advanced/FirFilters.h"
#include "support/ModuleVariables.h"
#include "support/Signals.h"
#include "support/TestEngine.h"

#if KVE_BENCH_LIQUID
#include <liquid/liquid.h>
#endif

namespace {

constexpr uint32_t kDecimator = 0xBEEF0CF8u, kLMS = 0xBEEF0D0Cu;
const ModClassDescriptor *const kTable[] = {&kve_modFIRDecimatorClass.record, &kve_modLMSClass.record};

using kvetest::privateArray;

// One module on its own engine, its inputs holding white noise.
class ModuleRun {
public:
    ModuleRun(uint32_t classId, uint32_t wireWord, const std::vector<std::pair<uint32_t, uint32_t>> &shapes,
              std::initializer_list<uint32_t> args)
    {
        engine_->classTable = kTable;
        engine_->classCount = std::size(kTable);
        std::vector<GenericWire *> wires;
        for (auto [channels, block] : shapes)
            wires.push_back(engine_.wire(channels, block));
        int32_t status = KVE_OK;
        module_ = ClassModule_Constructor(classId, &status, wireWord, wires.data(), static_cast<uint32_t>(args.size()),
                                          args.begin());
        for (uint32_t k = 0; k < KVE_PACKED_INPUTS(wireWord); ++k) {
            const std::vector<float> x = kvetest::noise(kve::kit::wireWords(wires[k]), k + 1);
            std::copy(x.begin(), x.end(), static_cast<float *>(wires[k]->buffer));
        }
    }
    ~ModuleRun() { kve_fwDestroy(engine_.get()); }
    ModuleRun(const ModuleRun &) = delete;
    ModuleRun &operator=(const ModuleRun &) = delete;

    ClassModule *module() const { return module_; }
    void run() { module_->classRecord->process(module_); }

private:
    kvetest::TestEngine engine_;
    ClassModule *module_ = nullptr;
};

constexpr uint32_t kTaps = 64, kFactor = 4;

// 64 taps of small noise, the same for the module and liquid-dsp: the cost does not depend on their values.
std::vector<float> decimatorTaps()
{
    std::vector<float> h = kvetest::noise(kTaps, 9);
    for (float &v : h)
        v *= 0.1f;
    return h;
}

#if KVE_BENCH_LIQUID
// The module and liquid-dsp in turns within one loop, each timed on its own: a shared machine's speed drifts by more
// than the margin the ratio is judged by, and turns this short see the same speed.
void BM_PairedDecimator(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    const auto channels = static_cast<uint32_t>(state.range(0));
    const auto frames = static_cast<uint32_t>(state.range(1));
    const uint32_t outFrames = frames / kFactor;
    ModuleRun module(kDecimator, 0x101, {{channels, frames}, {channels, outFrames}},
                     {kFactor, kTaps, 0, kTaps + kFactor - 1});
    if (module.module() == nullptr) {
        state.SkipWithError("module not built");
        return;
    }
    std::vector<float> h = decimatorTaps();
    std::copy(h.begin(), h.end(), privateArray<float>(module.module(), 4));
    std::vector<firdecim_rrrf> filters;
    std::vector<std::vector<float>> x, y;
    for (uint32_t c = 0; c < channels; ++c) {
        filters.push_back(firdecim_rrrf_create(kFactor, h.data(), kTaps));
        x.push_back(kvetest::noise(frames, c + 1));
        y.emplace_back(outFrames);
    }
    Clock::duration moduleTime{}, liquidTime{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        module.run();
        benchmark::ClobberMemory();
        const auto t1 = Clock::now();
        for (uint32_t c = 0; c < channels; ++c)
            firdecim_rrrf_execute_block(filters[c], x[c].data(), outFrames, y[c].data());
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        moduleTime += t1 - t0;
        liquidTime += t2 - t1;
    }
    for (firdecim_rrrf f : filters)
        firdecim_rrrf_destroy(f);
    const double outputs = static_cast<double>(state.iterations()) * channels * outFrames;
    state.counters["module_ns_per_output"] = std::chrono::duration<double, std::nano>(moduleTime).count() / outputs;
    state.counters["liquid_ns_per_output"] = std::chrono::duration<double, std::nano>(liquidTime).count() / outputs;
    state.counters["liquid_over_module"] =
        std::chrono::duration<double>(liquidTime).count() / std::chrono::duration<double>(moduleTime).count();
}
BENCHMARK(BM_PairedDecimator)->ArgNames({"channels", "frames"})->ArgsProduct({{1, 2, 8}, {64, 256}});
#endif

// LMS of `taps` weights adapting every sample: its cost grows with taps x samples.
void BM_LMS(benchmark::State &state)
{
    const auto taps = static_cast<uint32_t>(state.range(0));
    const auto frames = static_cast<uint32_t>(state.range(1));
    const float mu = 0.1f;
    ModuleRun module(kLMS, 0x202, {{1, frames}, {1, frames}, {1, frames}, {1, frames}},
                     {taps, taps, kvetest::bitsOf(mu), 0});
    if (module.module() == nullptr) {
        state.SkipWithError("module not built");
        return;
    }
    for (auto _ : state) {
        module.run();
        benchmark::ClobberMemory();
    }
    reportPerSample(state, frames);
    const double tapSamples = static_cast<double>(state.iterations()) * frames * taps;
    state.counters["time_per_sample_tap"] =
        benchmark::Counter(tapSamples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LMS)->ArgNames({"taps", "frames"})->ArgsProduct({{16, 64, 256}, {64, 256}});

} // namespace
