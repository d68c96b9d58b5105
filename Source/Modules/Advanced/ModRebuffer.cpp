// Rebuffer: a longer output block made of the last `historyLength` frames of earlier input followed by the current
// block, so that blocks overlap by the history (the analysis frames of a short-time transform, for instance).
#include <algorithm>
#include <cstring>

#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::rebuffering;
using kve::filters::sizeArgument;

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(RebufferModule, reservedValue, Int),
    KVE_VARIABLE(RebufferModule, historyLength, Int),
    KVE_VARIABLE(RebufferModule, stateIndex, Int),
    KVE_ARRAY(RebufferModule, state, FloatArray, fixedLength(0)),
};

// Words of history ahead of each block: `historyLength` frames of the input, none for a negative length.
uint64_t historyWords(int32_t historyLength, const GenericWire *in)
{
    return historyLength <= 0 ? 0 : static_cast<uint64_t>(historyLength) * framesOf(in).words;
}

ClassModule *kve_modRebufferConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    // The history lives in the output room beyond the input block; an output without room for both is refused.
    const uint32_t inWords = wireWords(wires[0]);
    const uint32_t outWords = wireWords(wires[KVE_PACKED_INPUTS(wireWord)]);
    if (outWords < inWords || historyWords(sizeArgument(argc, args, 3, 1), wires[0]) > outWords - inWords) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    auto variables = kVariables;
    variables[3].length = fixedLength(outWords + 1 - inWords);
    return construct(kve_modRebufferClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void kve_modRebufferProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<RebufferModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t outWords = wireWords(out);
    // A host's history length is held to the ring built and to the output's room.
    const auto history = static_cast<uint32_t>(
        std::min<uint64_t>(historyWords(s->historyLength, in), std::min(capacity(m, 0) - 1, outWords)));
    const uint32_t copied = std::min(wireWords(in), outWords - history);
    auto *dst = static_cast<float *>(out->buffer);
    const auto *src = static_cast<const float *>(in->buffer);
    std::memmove(dst + history, src, copied * sizeof(float));
    kve_vecFill(dst + history + copied, 1, 0.0f, static_cast<int32_t>(outWords - history - copied));
    if (history == 0)
        return;
    // Reading the whole ring brings the index back to the oldest word, where the newest input then goes.
    const auto len = static_cast<int32_t>(history);
    kve_vecCircRead(s->state, len, &s->stateIndex, 1, dst, 1, len);
    kve_vecCircWrite(s->state, len, &s->stateIndex, 1, dst + history, 1, static_cast<int32_t>(copied));
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modRebufferClass =
    makeClass<4>(0xBEEF0D1Du, {kve_modRebufferConstructor, kve_modRebufferProcess, IOMatchUpModule_Bypass},
                 kVariables);
