// The three word heaps: one zero-filled block, bump allocation, guard words, nothing freed singly.
#include <cstdlib>
#include <cstring>

#include "Engine/EngineInternal.h"

namespace {

struct HeapRef {
    uint32_t *base;
    uint32_t size;
    uint32_t *used;
};

// Heap numbers 1, 2 and 3 as a heap list names them.
HeapRef heapByNumber(KVEInstance *in, uint32_t number)
{
    switch (number) {
    case 1:
        return {in->heap1Base, in->heap1Size, &in->heap1Used};
    case 2:
        return {in->heap2Base, in->heap2Size, &in->heap2Used};
    default:
        return {in->heap3Base, in->heap3Size, &in->heap3Used};
    }
}

} // namespace

namespace kve {

bool rangeInHeaps(const KVEInstance *instance, const void *p, uint64_t words)
{
    auto *in = const_cast<KVEInstance *>(instance);
    const auto addr = reinterpret_cast<uintptr_t>(p);
    if (addr % 4 != 0)
        return false;
    for (uint32_t number = 1; number <= 3; ++number) {
        const HeapRef h = heapByNumber(in, number);
        if (h.base == nullptr)
            continue;
        const auto first = reinterpret_cast<uintptr_t>(h.base + 1);
        const auto end = reinterpret_cast<uintptr_t>(h.base) + static_cast<uint64_t>(*h.used) * 4u;
        if (addr >= first && addr <= end && words <= (end - addr) / 4)
            return true;
    }
    return false;
}

} // namespace kve

extern "C" {

int32_t kve_fwAllocateHeaps(KVEInstance *instance, uint32_t heap1Words, uint32_t heap2Words, uint32_t heap3Words)
{
    std::free(instance->heap1Base);
    instance->heap1Base = instance->heap2Base = instance->heap3Base = nullptr;
    if (heap1Words != 0)
        instance->heap1Size = heap1Words;
    if (heap2Words != 0)
        instance->heap2Size = heap2Words;
    if (heap3Words != 0)
        instance->heap3Size = heap3Words;

    const size_t total = static_cast<size_t>(instance->heap1Size) + instance->heap2Size + instance->heap3Size;
    auto *block = static_cast<uint32_t *>(std::calloc(total == 0 ? 1 : total, sizeof(uint32_t)));
    if (block == nullptr)
        return KVE_E_HEAP_BLOCK;
    instance->heap1Base = block;
    instance->heap2Base = block + instance->heap1Size;
    instance->heap3Base = instance->heap2Base + instance->heap2Size;
    for (uint32_t number = 1; number <= 3; ++number) {
        HeapRef h = heapByNumber(instance, number);
        if (h.size > 0)
            h.base[0] = KVE_GUARD_WORD;
        *h.used = 1;
    }
    return KVE_OK;
}

void *kve_fwMalloc2(KVEInstance *instance, uint32_t bytes, uint32_t align, uint32_t heaps, int32_t *status)
{
    *status = KVE_OK;
    const uint32_t a = (align + 3u) & ~3u;
    const uint32_t alignMask = a == 0 ? 0 : a - 1;

    if (instance->heap1Base == nullptr &&
        kve_fwAllocateHeaps(instance, 0, 0, 0) != KVE_OK) {
        *status = KVE_E_HEAP_BLOCK;
        return nullptr;
    }

    // Sizes are formed in 64 bits: a request near 4 GiB must fail, not wrap to a small block.
    const uint64_t total = static_cast<uint64_t>(bytes) + 4u + (a >= 8 ? a : 0u);
    const uint64_t blockWords = (total + 3u) / 4u;
    const uint64_t userWords = (static_cast<uint64_t>(bytes) + 3u) / 4u;

    if ((heaps & 3u) == 0) {
        *status = KVE_E_BAD_HEAP_LIST;
        return nullptr;
    }
    for (uint32_t list = heaps; (list & 3u) != 0; list >>= 4) {
        HeapRef h = heapByNumber(instance, list & 3u);
        if (h.base == nullptr || *h.used > h.size || blockWords >= h.size - *h.used)
            continue;
        uint32_t *block = h.base + *h.used;
        std::memset(block, 0, static_cast<size_t>(blockWords) * 4u);
        *h.used += static_cast<uint32_t>(blockWords);
        uintptr_t p = reinterpret_cast<uintptr_t>(block);
        if (alignMask != 0 && (p & alignMask) != 0)
            p = (p + alignMask) & ~static_cast<uintptr_t>(alignMask);
        auto *user = reinterpret_cast<uint32_t *>(p);
        user[userWords] = KVE_GUARD_WORD;
        block[blockWords - 1] = KVE_GUARD_WORD;
        if (user != block)
            user[-1] = KVE_GUARD_WORD;
        return user;
    }
    *status = KVE_E_HEAPS_FULL;
    return nullptr;
}

void *kve_fwMalloc(uint32_t bytes, uint32_t heaps, int32_t *status)
{
    return kve_fwMalloc2(g_pKVE_instance, bytes, 16, heaps, status);
}

void *kve_fwMallocAligned(uint32_t bytes, uint32_t align, uint32_t heaps, int32_t *status)
{
    return kve_fwMalloc2(g_pKVE_instance, bytes, align, heaps, status);
}

void kve_fwDestroyHeaps(KVEInstance *instance)
{
    std::free(instance->heap1Base);
    instance->heap1Base = instance->heap2Base = instance->heap3Base = nullptr;
    // The instance's memory is about to go: module code must not find it as the instance at work.
    if (g_pKVE_instance == instance)
        g_pKVE_instance = nullptr;
}

uint32_t kve_fwGetHeapCount(void) { return 3; }

int32_t kve_fwGetHeapSize(KVEInstance *instance, uint32_t *words)
{
    words[0] = instance->heap1Size - instance->heap1Used;
    words[1] = instance->heap3Size - instance->heap3Used;
    words[2] = instance->heap2Size - instance->heap2Used;
    words[3] = instance->heap1Size;
    words[4] = instance->heap3Size;
    words[5] = instance->heap2Size;
    return KVE_OK;
}

} // extern "C"
