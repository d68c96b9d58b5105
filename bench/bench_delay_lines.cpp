// The modulated delays per sample per channel (block 32, one, two and eight channels): DelayInterp linear and cubic
// and DelayciFract32, each run in turns with the standard pack's Delayci on the same shape in one loop. Each is meant
// to stay within 1.5x of Delayci, which the counter module_over_delayci shows.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "BenchModule.h"
#include "BenchReport.h"
#include "Modules/Advanced/DelayLines.h"
#include "Modules/Standard/Delays.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kBlock = 32, kMax = 64;
constexpr uint32_t kDelayInterp = 0xBEEF0CE2u, kDelayciFract32 = 0xBEEF0CE7u, kDelayci = 0xBEEF0FD6u;
const ModClassDescriptor *const kTable[] = {&kve_modDelayInterpClass.record, &kve_modDelayciFract32Class.record,
                                            &kve_modDelayciClass.record};

// One modulated delay on its own engine: a slow sweep on the modulation wire, white noise on the audio.
class ModulatedRun : public BenchModule {
public:
    ModulatedRun(uint32_t classId, uint32_t channels, bool fixedPoint, std::initializer_list<uint32_t> args)
        : BenchModule(kTable)
    {
        GenericWire *mod = engine_.wire(1, kBlock);
        GenericWire *in = engine_.wire(channels, kBlock);
        GenericWire *out = engine_.wire(channels, kBlock);
        int32_t status = KVE_OK;
        module_ = engine_.module(classId, 0x102, {mod, in, out}, args, &status);
        const std::vector<float> noise = whiteNoise(uint64_t{channels} * kBlock, 5);
        for (uint32_t i = 0; i < kBlock; ++i) {
            const float sweep = 0.9f * std::sin(0.05f * static_cast<float>(i));
            if (fixedPoint)
                static_cast<Fract32 *>(mod->buffer)[i] = static_cast<Fract32>(sweep * 2147483647.0f);
            else
                static_cast<float *>(mod->buffer)[i] = sweep;
        }
        for (uint32_t i = 0; i < channels * kBlock; ++i) {
            if (fixedPoint)
                static_cast<Fract32 *>(in->buffer)[i] = static_cast<Fract32>(noise[i] * 1073741824.0f);
            else
                static_cast<float *>(in->buffer)[i] = noise[i];
        }
        if (built() && module_->classRecord->set != nullptr)
            module_->classRecord->set(module_, 0xFFFFFFFFu);
    }
};

// range(0): 0 DelayInterp linear, 1 DelayInterp cubic, 2 DelayciFract32; range(1): channels.
void BM_PairedModulatedDelay(benchmark::State &state)
{
    const auto kind = static_cast<uint32_t>(state.range(0));
    const auto channels = static_cast<uint32_t>(state.range(1));
    const uint32_t base = kvetest::bitsOf(20.0f), depth = kvetest::bitsOf(12.0f);
    ModulatedRun module = kind == 2 ? ModulatedRun(kDelayciFract32, channels, true, {kMax, base, 0, depth, 0, 0, 0, 2})
                                    : ModulatedRun(kDelayInterp, channels, false, {kMax, kind, base, depth, 0, 2});
    ModulatedRun peer(kDelayci, channels, false, {kMax, base, depth, 0, 2});
    if (!module.built() || !peer.built()) {
        state.SkipWithError("module not built");
        return;
    }
    const auto [moduleTime, peerTime] = timeInTurns(state, [&] { module.run(); }, [&] { peer.run(); });
    const double samples = static_cast<double>(state.iterations()) * channels * kBlock;
    state.counters["module_ns_per_sample"] = moduleTime * 1e9 / samples;
    state.counters["delayci_ns_per_sample"] = peerTime * 1e9 / samples;
    state.counters["module_over_delayci"] = moduleTime / peerTime;
}

} // namespace

BENCHMARK(BM_PairedModulatedDelay)->ArgsProduct({{0, 1, 2}, {1, 2, 8}});
