// What the layout benchmarks share: the sample buffers of a built layout's wires, a wall-clock timer for one call, and
// a harness that times a pump and the same work run bare back to back in one iteration (same caches, same clock).
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Engine/LibraryHost.h"
#include "kve/kve_engine.h"

namespace kvebench {

// The sample buffers of the wires with these ids, as the engine placed them; empty when one is not a wire.
inline std::vector<void *> wireBuffers(const std::vector<uint32_t> &ids)
{
    std::vector<void *> buffers;
    for (uint32_t id : ids) {
        KVEObject *o = nullptr;
        uint32_t cls = 0;
        if (kve_fwGetObjectByID(g_pKVE_instance, id, &o, &cls) != KVE_OK || cls != KVE_CLASS_WIRE)
            return {};
        buffers.push_back(reinterpret_cast<GenericWire *>(o)->buffer);
    }
    return buffers;
}

template <class Fn> double seconds(Fn &&fn)
{
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A layout under test: its stream, the wires bound to the pins, every wire's id (for the bare work) and the number
// of modules it runs per pump.
struct Layout {
    kvepackets::LayoutStream stream;
    std::vector<uint32_t> wires;
    uint32_t input = 0, output = 0;
    uint32_t inputChannels = 2, outputChannels = 2; // of the pinned wires
    uint32_t modules = 0;
};

inline void finish(Layout &l, const std::vector<uint32_t> &modules)
{
    const uint32_t layout = l.stream.layout(static_cast<uint32_t>(modules.size()));
    l.stream.place(layout, 0, modules);
    l.stream.bind(l.input, kvepackets::inputPin(0)).bind(l.output, kvepackets::outputPin(0));
    l.stream.start();
    l.modules = static_cast<uint32_t>(modules.size());
}

// Pumps the layout and runs `bare` (the whole layout's worth of bare work) in the same iteration. `in` fills the
// pinned input; `bare` is given the words of the pinned input; `second` fills the second input wire when there is one.
inline void run(benchmark::State &state, Layout &l, uint32_t block, const std::function<void(_Sample *, uint32_t)> &in,
                const std::function<void(const std::vector<void *> &, int32_t)> &bare,
                const std::function<void(void *, uint32_t)> &second = {})
{
    const uint32_t inWords = block * l.inputChannels;
    const uint32_t outWords = block * l.outputChannels;
    kvehost::Library lib = kvehost::makeLibrary();
    if (lib->CreateEx("bench", 0.0f, 0.0f, 0, block, 0, l.inputChannels, l.outputChannels) != 0) {
        state.SkipWithError("the engine cannot be created");
        return;
    }
    if (const int32_t status = kvehost::sendStream(*lib, l.stream.words()); status != 0) {
        state.SkipWithError(("the layout cannot be built (status " + std::to_string(status) + ")").c_str());
        return;
    }
    lib->SetLayoutAddresses(l.input, l.output, 0);
    const std::vector<void *> buffers = kvebench::wireBuffers(l.wires);
    if (buffers.size() != l.wires.size()) {
        state.SkipWithError("the layout's wires cannot be found");
        return;
    }
    std::vector<_Sample> input(inWords), output(outWords);
    in(input.data(), inWords);
    if (second)
        second(buffers[1], inWords);

    bool failed = false;
    const auto pump = [&] {
        failed |= lib->PumpAudio(input.data(), output.data(), inWords, outWords) != 0;
        benchmark::ClobberMemory();
    };
    const auto bareRun = [&] {
        bare(buffers, static_cast<int32_t>(inWords));
        benchmark::ClobberMemory();
    };
    for (int k = 0; k < 32; ++k)
        pump();

    double pumped = 0.0, kernels = 0.0;
    for (auto _ : state) {
        kernels += kvebench::seconds(bareRun);
        const double t = kvebench::seconds(pump);
        pumped += t;
        state.SetIterationTime(t);
    }
    if (failed) {
        state.SkipWithError("the pump failed");
        return;
    }
    const double n = static_cast<double>(state.iterations());
    const double perModuleSample = 1e9 / (n * l.modules * block);
    state.SetItemsProcessed(static_cast<int64_t>(n * l.modules * block));
    state.counters["pump_ns_per_module_sample"] = pumped * perModuleSample;
    state.counters["bare_ns_per_module_sample"] = kernels * perModuleSample;
    state.counters["pump_over_bare"] = kernels > 0.0 ? pumped / kernels : 0.0;
}

// Floats spread over -range..range.
inline void spread(_Sample *s, uint32_t n, float range)
{
    for (uint32_t i = 0; i < n; ++i)
        s[i].f = range * (static_cast<float>(i % 29) / 14.0f - 1.0f);
}

} // namespace kvebench
