// The engine the fuzz targets drive: the test fixture's instance with the library's class table and start and stop
// hooks that succeed, and on demand the "stereo-copy" example layout (two wires bound to the pins, a Copier, a
// one-slot layout).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kve/kve_engine.h"
#include "kve/kve_packet.h"
#include "layouts/ExampleLayouts.h"
#include "support/TestEngine.h"

namespace kvefuzz {

// No input may damage the engine's own links: the object list must still be walkable, every object with its class
// record, and end. Checked after every run, so that the input that did the damage is the one reported rather than
// the destroy that next walks the list.
inline void checkObjectList(KVEInstance *engine)
{
    constexpr uint32_t kMoreObjectsThanHeapsHold = 1u << 20;
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    uint32_t count = 0;
    for (int32_t s = kve_fwGetFirstObject2(engine, &o, &cls); s == KVE_OK;) {
        if (++count > kMoreObjectsThanHeapsHold) {
            std::fprintf(stderr, "fuzz: the object list does not end\n");
            std::abort();
        }
        KVEObject *next = nullptr;
        s = kve_fwGetNextObject(o, &next, &cls);
        o = next;
    }
}

class FuzzEngine {
public:
    FuzzEngine() : engine_(options()), layout_(kvelayouts::findExampleLayout("stereo-copy")->build({}).words())
    {
        engine_->classTable = g_module_descriptor_table;
        engine_->classCount = g_module_descriptor_count;
        engine_->startHook = succeed;
        engine_->stopHook = succeed;
        kve_fwSetClockSource(fastClock);
    }

    KVEInstance *get() { return engine_.get(); }

    // Empties the instance and loads the example layout again. Inputs run on an engine where that layout failed
    // would test nothing, so a failure ends the run.
    void reload()
    {
        kve_fwDestroy(get());
        kve_fwPacketInit(buffer_, KVE_LOADER_BUFFER_WORDS);
        uint32_t offset = 0;
        const int32_t status =
            kve_fwPacketExecuteArray(get(), layout_.data(), static_cast<uint32_t>(layout_.size()), &offset);
        if (status != KVE_OK) {
            std::fprintf(stderr, "fuzz: the example layout does not load: %d at offset %u\n", status, offset);
            std::abort();
        }
    }

private:
    // Small heaps: a destroy, which clears them, stays cheap enough to run for every input, and an input reaches the
    // heaps-full failures of every constructor with a few packets.
    static kvetest::EngineOptions options()
    {
        kvetest::EngineOptions o;
        o.heapWords = 1u << 13;
        return o;
    }
    static int32_t succeed() { return KVE_OK; }
    // A clock that runs 6.5 ms ahead at every reading: a layout may ask a cycle burner to wait minutes, as a load test
    // would, and the fuzzer is to go on to the next input, not time out on a wait that does what it was asked.
    static uint32_t fastClock()
    {
        static std::atomic<uint32_t> ticks{0};
        return ticks.fetch_add(1u << 16, std::memory_order_relaxed);
    }

    kvetest::TestEngine engine_;
    std::vector<uint32_t> layout_;
    uint32_t buffer_[KVE_LOADER_BUFFER_WORDS] = {};
};

} // namespace kvefuzz
