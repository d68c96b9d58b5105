// Engine costs: module dispatch in a layout run, the idle tick against the object count, member-address access.
#include <benchmark/benchmark.h>

#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvetest::EngineOptions;
using kvetest::TestEngine;

EngineOptions bigHeaps(bool profiling)
{
    EngineOptions o;
    o.heapWords = 1u << 20;
    o.profiling = profiling;
    return o;
}

// One layout of n modules whose Process does almost nothing: the time per module is the dispatch cost.
void LayoutRunPerModule(benchmark::State &state)
{
    const auto n = static_cast<uint32_t>(state.range(0));
    TestEngine engine(bigHeaps(state.range(1) != 0));
    ClassLayout *layout = engine.layout(n, 1);
    for (uint32_t i = 0; i < n; ++i) {
        ClassModule *m = engine.module(kvetest::kDeferredClassId, 0, {}, {0, 0});
        const uint32_t words[] = {layout->objectId, i, m->objectId};
        kve_fwAddModuleToLayout(engine.get(), 3, words);
    }
    for (auto _ : state)
        ClassLayout_Process(engine.get(), layout, nullptr, nullptr);
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["ns_per_module"] =
        benchmark::Counter(static_cast<double>(state.iterations() * n), benchmark::Counter::kIsRate |
                                                                          benchmark::Counter::kInvert);
}
BENCHMARK(LayoutRunPerModule)->ArgsProduct({{1, 10, 100, 1000}, {0, 1}})->ArgNames({"modules", "profiling"});

// The tick with nothing pending must cost the same whatever the number of objects.
void IdleTick(benchmark::State &state)
{
    TestEngine engine(bigHeaps(false));
    for (int64_t i = 0; i < state.range(0); ++i)
        engine.wire(1, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(kve_fwTick(engine.get()));
}
BENCHMARK(IdleTick)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->ArgName("objects");

// Reading and writing a module variable by member address, with the id found in the lookup table or by a walk.
void MemberAddressAccess(benchmark::State &state)
{
    TestEngine engine(bigHeaps(false));
    const bool table = state.range(0) != 0;
    if (table)
        kve_fwcreateLookupTable(engine.get(), 200);
    for (int i = 0; i < 100; ++i)
        engine.wire(1, 1);
    GenericWire *in = engine.wire(2, 32);
    ClassModule *m = engine.module(kvetest::kGainClassId, 0x101, {in, engine.wire(2, 32)}, {0, 2});
    const uint32_t address = KVE_MEMBER_ADDRESS(m->objectId, 8);
    uint32_t value = 0;
    for (auto _ : state) {
        int32_t status = KVE_OK;
        value = kve_fwFetchValue(engine.get(), address, &status, 0) + 1;
        kve_fwSetValue(engine.get(), address, value, 0, 0);
    }
    benchmark::DoNotOptimize(value);
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(MemberAddressAccess)->Arg(0)->Arg(1)->ArgName("lookup_table");

} // namespace
