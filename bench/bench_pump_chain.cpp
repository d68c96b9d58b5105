// The pump's own overhead: a chain of 1000 Scaler modules on stereo wires, built by command packets and pumped
// through the library interface, beside the same kve_vecScale calls run bare on the same wire buffers. Each
// iteration times one bare pass and one pump back to back, so both see the same caches and clock speed; the figures
// are ns per stage per sample (frame) and the chain's multiple of the bare calls. With profiling on, each iteration
// also times a pump with profiling off, and the difference is the cost of profiling per module per block.
#include <benchmark/benchmark.h>

#include <vector>

#include "Engine/LibraryHost.h"
#include "LayoutBench.h"
#include "kve/kve_engine.h"
#include "kve/kve_vec.h"

namespace {

constexpr uint32_t kStages = 1000;
constexpr uint32_t kChannels = 2;
constexpr uint32_t kScalerClassId = 0xBEEF0FF6u;
constexpr float kGain = 0.999f;

struct ScalerChain {
    kvepackets::LayoutStream stream;
    std::vector<uint32_t> wires;
};

// Wire k feeds Scaler k, which writes wire k + 1; the first wire is bound to the input pin, the last to the output.
ScalerChain scalerChain(uint32_t block)
{
    ScalerChain c;
    c.stream.lookupTable(2 * kStages + 16);
    for (uint32_t k = 0; k <= kStages; ++k)
        c.wires.push_back(c.stream.wire(kChannels, block));
    std::vector<uint32_t> modules;
    for (uint32_t k = 0; k < kStages; ++k)
        modules.push_back(c.stream.module(kScalerClassId, 0x101, {c.wires[k], c.wires[k + 1]},
                                          {kvepackets::bits(kGain)}));
    const uint32_t layout = c.stream.layout(kStages);
    c.stream.place(layout, 0, modules);
    c.stream.bind(c.wires.front(), kvepackets::inputPin(0)).bind(c.wires.back(), kvepackets::outputPin(0));
    c.stream.start();
    return c;
}

constexpr uint32_t kProfilingOff = KVE_FLAG_NO_LAYOUT_PROFILING | KVE_FLAG_NO_MODULE_PROFILING;

// Arguments: block size, profiling (0 or 1). The reported time is the pump's.
void PumpScalerChain(benchmark::State &state)
{
    const auto block = static_cast<uint32_t>(state.range(0));
    const bool profiling = state.range(1) != 0;
    const uint32_t words = block * kChannels;
    kvehost::Library lib = kvehost::makeLibrary();
    ScalerChain chain = scalerChain(block);
    if (lib->CreateEx("bench", 0.0f, 0.0f, profiling, block, 0, kChannels, kChannels) != 0 ||
        kvehost::sendStream(*lib, chain.stream.words()) != 0) {
        state.SkipWithError("the chain cannot be built");
        return;
    }
    lib->SetLayoutAddresses(chain.wires.front(), chain.wires.back(), 0);
    KVEInstance *instance = g_pKVE_instance;
    const std::vector<void *> found = kvebench::wireBuffers(chain.wires);
    std::vector<float *> buffers;
    for (void *p : found)
        buffers.push_back(static_cast<float *>(p));
    if (buffers.size() != chain.wires.size()) {
        state.SkipWithError("the chain's wires cannot be found");
        return;
    }
    std::vector<_Sample> in(words), out(words);
    for (uint32_t i = 0; i < words; ++i)
        in[i].f = static_cast<float>(i % 17) / 17.0f - 0.5f;

    bool failed = false;
    const auto pump = [&] {
        failed |= lib->PumpAudio(in.data(), out.data(), words, words) != 0;
        benchmark::ClobberMemory();
    };
    const auto bare = [&] {
        for (uint32_t k = 0; k < kStages; ++k)
            kve_vecScale(buffers[k], 1, buffers[k + 1], 1, kGain, static_cast<int32_t>(words));
        benchmark::ClobberMemory();
    };
    // Past the layout's warm-up, so that a profiled pump does all its statistics.
    for (int k = 0; k < 32; ++k)
        pump();

    double chained = 0.0, kernels = 0.0, unprofiled = 0.0;
    for (auto _ : state) {
        kernels += kvebench::seconds(bare);
        if (profiling) {
            instance->flags |= kProfilingOff;
            unprofiled += kvebench::seconds(pump);
            instance->flags &= ~kProfilingOff;
        }
        const double t = kvebench::seconds(pump);
        chained += t;
        state.SetIterationTime(t);
    }
    if (failed) {
        state.SkipWithError("the pump failed");
        return;
    }
    const double n = static_cast<double>(state.iterations());
    const double perStageSample = 1e9 / (n * kStages * block);
    state.SetItemsProcessed(static_cast<int64_t>(n * kStages * block));
    state.counters["chain_ns_per_stage_sample"] = chained * perStageSample;
    state.counters["bare_ns_per_stage_sample"] = kernels * perStageSample;
    state.counters["chain_over_bare"] = kernels > 0.0 ? chained / kernels : 0.0;
    if (profiling)
        state.counters["profiling_ns_per_module_block"] = (chained - unprofiled) * 1e9 / (n * kStages);
}
BENCHMARK(PumpScalerChain)
    ->ArgsProduct({{32, 64}, {0, 1}})
    ->ArgNames({"block", "profiling"})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
