// Delay: wire 0 into wire 1 delayed by `currentDelay` whole samples, through a ring of ch x (L + maxDelay + 1)
// words kept between blocks. The ring is built for the `maxDelay` given at construction in the heap list
// `stateHeap`; a delay or size a host writes later is held to what was built, so the ring is never read outside.
#include "Modules/Standard/Delays.h"
#include "kve/kve_vec_generators.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::delays;

struct DelayModule {
    ClassModule header;
    uint32_t maxDelay;
    uint32_t currentDelay;
    uint32_t stateIndex;
    uint32_t stateHeap;
    float *state;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(DelayModule, maxDelay, UInt),
    KVE_VARIABLE(DelayModule, currentDelay, UInt),
    KVE_VARIABLE(DelayModule, stateIndex, UInt),
    KVE_VARIABLE(DelayModule, stateHeap, UInt),
    // The ring's length depends on wire 0's shape and maxDelay together: the constructor allocates it.
    KVE_ARRAY(DelayModule, state, FloatArray, fixedLength(0)),
};

// The ring: ch x (L + maxDelay + 2) words of wire 0 from the heap list `stateHeap`.
OwnArray ring(ClassModule *m)
{
    auto *s = reinterpret_cast<DelayModule *>(m);
    const GenericWire *in = wire(m, 0);
    return {&s->state, uint64_t{channels(in)} * (uint64_t{blockSize(in)} + uint64_t{s->maxDelay} + 2), s->stateHeap};
}

void delayProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<DelayModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const uint32_t ch = channels(in);
    const uint32_t block = blockSize(in);
    if (ch == 0 || block == 0)
        return;
    // The ring for the delay the host asks for, held to the longest the ring built for this wire holds. Divisions
    // happen only when a host wrote a size or index past what was built: per block they would cost as much as the
    // copies of a short block.
    uint32_t maxDelay = s->maxDelay;
    if (uint64_t{ch} * (uint64_t{block} + maxDelay + 2) > capacity(m, 0)) {
        const uint32_t frames = capacity(m, 0) / ch;
        maxDelay = frames >= block + 2 ? frames - block - 2 : 0;
    }
    const uint32_t delay = std::min(s->currentDelay, maxDelay);
    const uint32_t ring = ch * (block + maxDelay + 1);
    const auto n = static_cast<int32_t>(ch * block);
    auto write = static_cast<int32_t>(s->stateIndex < ring ? s->stateIndex : s->stateIndex % ring);
    int32_t read = write - static_cast<int32_t>(ch * delay);
    if (read < 0)
        read += static_cast<int32_t>(ring);
    kve_vecCircWrite(s->state, static_cast<int32_t>(ring), &write, 1, words(in), 1, n);
    kve_vecCircRead(s->state, static_cast<int32_t>(ring), &read, 1, words(out), 1, std::min(n, held({out})));
    s->stateIndex = static_cast<uint32_t>(write);
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modDelayClass =
    makeClass<5>(0xBEEF0800u, {withOwnArray<&kve_modDelayClass, 1, 1, ring>, delayProcess}, kVariables);
