// What the layout benchmarks share: the sample buffers of a built layout's wires, and a wall-clock timer for one
// call, so a pump and the same kernels run bare can be timed back to back in one iteration.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

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

} // namespace kvebench
