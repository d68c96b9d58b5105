// The per-sample control modules' Process beside the least work each could do, on 32-sample blocks of 1 and 8
// channels, run in turns within one loop: Oscillator beside one sinf per sample (meant to stay within 1.5x), and
// DeadBand, Hysteresis, Derivative and Integral beside a copy of the block (meant to stay within 2x). Each reports
// module_over_bare, the module's time over the bare loop's. A copy of 32 samples takes a few nanoseconds, so each
// turn runs its side kReps times between two clock readings: with one run per reading the readings' own cost, the
// same on both sides, would be most of what is timed and pull every ratio toward 1. The engine's plain Copier runs
// beside the same copy: its ratio is what any Process call on such a block costs over the bare loop, the floor the
// control modules' ratios stand on.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "BenchModule.h"
#include "BenchReport.h"
#include "Modules/Advanced/ControlModules.h"
#include "Modules/Standard/StandardClasses.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kBlock = 32;
// Runs of each side between two clock readings.
constexpr int kReps = 32;
constexpr uint32_t kDeadBand = 0xBEEF0CE0u, kHysteresis = 0xBEEF0D07u, kDerivative = 0xBEEF0CEBu,
                   kIntegral = 0xBEEF0D0Au, kOscillator = 0xBEEF0D14u, kCopier = 0xBEEF0860u;
const ModClassDescriptor *const kTable[] = {&kve_modDeadBandClass.record, &kve_modHysteresisClass.record,
                                            &kve_modDerivativeClass.record, &kve_modIntegralClass.record,
                                            &kve_modOscillatorClass.record, &kve_modCopierClass.record};

// One module on 1 -> 1 wires: `channels` channels in and out, or (the oscillator) a one-channel modulation in.
class ModuleRun : public BenchModule {
public:
    ModuleRun(uint32_t classId, std::initializer_list<uint32_t> args, uint32_t inChannels, uint32_t outChannels)
        : BenchModule(kTable)
    {
        in_ = engine_.wire(inChannels, kBlock);
        out_ = engine_.wire(outChannels, kBlock);
        module_ = engine_.module(classId, 0x101u, {in_, out_}, args);
        const std::vector<float> x = whiteNoise(size_t{inChannels} * kBlock, 1);
        // The oscillator's modulation stays small, as a phase modulation would be.
        const float scale = classId == kOscillator ? 0.01f : 1.0f;
        for (size_t k = 0; k < x.size(); ++k)
            static_cast<float *>(in_->buffer)[k] = x[k] * scale;
    }

private:
    GenericWire *in_ = nullptr;
    GenericWire *out_ = nullptr;
};

// The bare loops: a copy of the block, or one sinf per output sample from a running, wrapped phase.
class CopyRun {
public:
    explicit CopyRun(uint32_t channels) : x_(whiteNoise(size_t{channels} * kBlock, 1)), y_(x_.size()) {}
    void run() { std::memcpy(y_.data(), x_.data(), x_.size() * sizeof(float)); }

private:
    std::vector<float> x_, y_;
};

class SineRun {
public:
    explicit SineRun(uint32_t channels) : y_(size_t{channels} * kBlock) {}
    void run()
    {
        constexpr float kPi = 3.14159265358979f;
        for (float &v : y_) {
            v = std::sin(phase_);
            phase_ += 0.1f;
            if (phase_ > kPi)
                phase_ -= 2.0f * kPi;
        }
    }

private:
    std::vector<float> y_;
    float phase_ = 0.0f;
};

template <class Bare>
void pairedBench(benchmark::State &state, uint32_t classId, std::initializer_list<uint32_t> args, bool oscillator)
{
    const auto channels = static_cast<uint32_t>(state.range(0));
    ModuleRun module(classId, args, oscillator ? 1 : channels, channels);
    Bare bare(channels);
    if (!module.built()) {
        state.SkipWithError("module not built");
        return;
    }
    const auto [moduleTime, bareTime] = timeInTurns(state, [&] { module.run(); }, [&] { bare.run(); }, kReps);
    state.counters["module_over_bare"] = moduleTime / bareTime;
    reportPerSample(state, int64_t{2} * kReps * channels * kBlock);
}

uint32_t bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

void BM_PairedOscillator(benchmark::State &state)
{
    pairedBench<SineRun>(state, kOscillator, {0, 0, bits(0.1f)}, true);
}
void BM_PairedDeadBand(benchmark::State &state)
{
    pairedBench<CopyRun>(state, kDeadBand, {bits(0.2f), bits(-0.2f), 1}, false);
}
void BM_PairedHysteresis(benchmark::State &state)
{
    pairedBench<CopyRun>(state, kHysteresis, {bits(0.3f), bits(-0.3f)}, false);
}
void BM_PairedDerivative(benchmark::State &state)
{
    pairedBench<CopyRun>(state, kDerivative, {bits(0.001f)}, false);
}
void BM_PairedIntegral(benchmark::State &state) { pairedBench<CopyRun>(state, kIntegral, {bits(0.01f)}, false); }
void BM_PairedCopier(benchmark::State &state) { pairedBench<CopyRun>(state, kCopier, {}, false); }

BENCHMARK(BM_PairedOscillator)->Arg(1)->Arg(8);
BENCHMARK(BM_PairedDeadBand)->Arg(1)->Arg(8);
BENCHMARK(BM_PairedHysteresis)->Arg(1)->Arg(8);
BENCHMARK(BM_PairedDerivative)->Arg(1)->Arg(8);
BENCHMARK(BM_PairedIntegral)->Arg(1)->Arg(8);
BENCHMARK(BM_PairedCopier)->Arg(1)->Arg(8);

} // namespace
