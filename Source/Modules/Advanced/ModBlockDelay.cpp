// BlockDelay and BlockDelayV2: the input delayed by whole blocks, through a ring of max + 1 blocks. The current block
// goes into its slot before the delayed one is read, so a delay of 0 passes it; BlockDelayV2 takes the ring's heap
// list from a variable.
#include <algorithm>
#include <cstring>

#include "Modules/Advanced/DelayLines.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct BlockDelayModule {
    ClassModule header;
    int32_t maxDelay;
    int32_t delay;
    int32_t slot;
    float *slots;
};

struct BlockDelayV2Module {
    ClassModule header;
    int32_t maxDelay;
    int32_t delay;
    int32_t slot;
    int32_t heap;
    float *slots;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(BlockDelayModule, maxDelay, Int),
    KVE_VARIABLE(BlockDelayModule, delay, Int),
    KVE_VARIABLE(BlockDelayModule, slot, Int),
    KVE_ARRAY(BlockDelayModule, slots, FloatArray, fixedLength(0)),
};

constexpr std::array<Variable, 5> kVariablesV2 = {
    KVE_VARIABLE(BlockDelayV2Module, maxDelay, Int), KVE_VARIABLE(BlockDelayV2Module, delay, Int),
    KVE_VARIABLE(BlockDelayV2Module, slot, Int),     KVE_VARIABLE(BlockDelayV2Module, heap, Int),
    KVE_ARRAY(BlockDelayV2Module, slots, FloatArray, fixedLength(0)),
};

template <class Module> uint64_t ringWords(ClassModule *m)
{
    const uint32_t maxDelay = heldDelay(reinterpret_cast<Module *>(m)->maxDelay, UINT32_MAX - 1);
    return uint64_t{wireWords(wire(m, 0))} * (uint64_t{maxDelay} + 1);
}

ArraySize ringSize(ClassModule *m, uint32_t) { return {ringWords<BlockDelayModule>(m), 0x231}; }

ArraySize ringSizeV2(ClassModule *m, uint32_t)
{
    return {ringWords<BlockDelayV2Module>(m), static_cast<uint32_t>(reinterpret_cast<BlockDelayV2Module *>(m)->heap)};
}

template <class Module> void blockDelayProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const uint32_t words = wireWords(in);
    const uint32_t built = words == 0 ? 0 : capacity(m, 0) / words;
    if (built == 0)
        return;
    // The slots built for this wire bound both the delay and the slot index a host may have written.
    const uint32_t count = std::min(heldDelay(s->maxDelay, UINT32_MAX - 1) + 1, built);
    const uint32_t delay = heldDelay(s->delay, count - 1);
    const auto slot = static_cast<uint32_t>(ringIndex(s->slot, static_cast<int32_t>(count)));
    const uint32_t from = slot >= delay ? slot - delay : slot + count - delay;
    std::memcpy(s->slots + uint64_t{slot} * words, in->buffer, uint64_t{words} * 4);
    std::memcpy(out->buffer, s->slots + uint64_t{from} * words, uint64_t{std::min(words, wireWords(out))} * 4);
    s->slot = static_cast<int32_t>(slot + 1 == count ? 0 : slot + 1);
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modBlockDelayClass = makeClass<4>(
    0xBEEF0CC6u, {withArrays<&kve_modBlockDelayClass, 1, 1, 1, ringSize>, blockDelayProcess<BlockDelayModule>},
    kVariables);

extern "C" constinit const ClassRecord<5> kve_modBlockDelayV2Class = makeClass<5>(
    0xBEEF0D65u, {withArrays<&kve_modBlockDelayV2Class, 1, 1, 1, ringSizeV2>, blockDelayProcess<BlockDelayV2Module>},
    kVariablesV2);
