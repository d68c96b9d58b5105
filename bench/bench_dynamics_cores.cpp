// The fixed-point compressor gain computer and the float downward expander, one Process per block of 32 samples at
// 48 kHz, in multiples of real time (meant to be at least 1000x). Neither has a bare kernel to stand beside: the
// compressor's pipeline and the expander's gain law are the modules' own.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "BenchModule.h"
#include "BenchReport.h"
#include "Modules/Advanced/DynamicsCores.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kCompressorFract32 = 0xBEEF0CB2u, kExpander = 0xBEEF0CEFu;
constexpr uint32_t kBlock = 32;
const ModClassDescriptor *const kTable[] = {&kve_modAGCCompressorCoreFract32Class.record,
                                            &kve_modDownwardExpanderCoreClass.record};

uint32_t bits(float v) { return kvetest::bitsOf(v); }

// A mono gain computer on a level signal that swings through its threshold, so both of its branches run.
class GainComputer : public BenchModule {
public:
    GainComputer(uint32_t classId, std::initializer_list<uint32_t> args) : BenchModule(kTable)
    {
        GenericWire *in = engine_.wire(1, kBlock);
        module_ = engine_.module(classId, 0x101u, {in, engine_.wire(1, kBlock)}, args);
        const std::vector<float> x = whiteNoise(kBlock, 5);
        for (uint32_t i = 0; i < kBlock; ++i) {
            const float level = std::fabs(x[i]) * (i < kBlock / 2 ? 1.0f : 0.001f);
            if (classId == kExpander)
                static_cast<float *>(in->buffer)[i] = level;
            else
                static_cast<Fract32 *>(in->buffer)[i] = kve_advFloatToFract32(level);
        }
    }
};

void runGainComputer(benchmark::State &state, GainComputer &module)
{
    if (!module.built()) {
        state.SkipWithError("the module was not built");
        return;
    }
    for (auto _ : state) {
        module.run();
        benchmark::ClobberMemory();
    }
    reportPerSample(state, kBlock);
}

void BM_AGCCompressorCoreFract32(benchmark::State &state)
{
    GainComputer module(kCompressorFract32, {bits(-20.0f), 0, bits(4.0f), bits(5.0f), bits(1.0f), bits(50.0f),
                                             bits(5.0f), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    runGainComputer(state, module);
}
BENCHMARK(BM_AGCCompressorCoreFract32);

void BM_DownwardExpanderCore(benchmark::State &state)
{
    GainComputer module(kExpander, {bits(-40.0f), bits(3.0f), bits(6.0f), bits(1.0f), bits(20.0f), 0, 0, 0, 0});
    runGainComputer(state, module);
}
BENCHMARK(BM_DownwardExpanderCore);

} // namespace
