// SampleMultiplexorControl: a selector wire picks, frame by frame, which data wire reaches the output.
#include <algorithm>

#include "Modules/Advanced/StateControl.h"
#include "kve/kve_vec_conversion.h"

using namespace kve::kit;

namespace {

ClassModule *multiplexorConstruct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    return construct(kve_modSampleMultiplexorControlClass, {}, 2, 1, status, wireWord, wires, argc, args);
}

void multiplexorProcess(ClassModule *m)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    const uint32_t dataWires = inputs - 1;
    const GenericWire *selector = wire(m, 0);
    GenericWire *out = wire(m, inputs);
    const bool complex = KVE_WIRE_COMPLEX(out->info1) != 0;
    const uint32_t frameWords = KVE_WIRE_CHANNELS(out->info1) * (complex ? 2u : 1u);
    const uint32_t frames = std::min(blockSize(out) / (complex ? 2u : 1u), wireWords(selector));
    const auto *s = static_cast<const int32_t *>(selector->buffer);
    auto *o = static_cast<uint32_t *>(out->buffer);
    for (uint32_t k = 0; k < frames; ++k) {
        const int32_t pick = std::clamp<int32_t>(s[k], 0, static_cast<int32_t>(dataWires) - 1);
        const GenericWire *in = wire(m, 1 + static_cast<uint32_t>(pick));
        // A data wire shorter than the output gives only the words it holds.
        const uint32_t from = k * frameWords;
        const uint32_t held = std::min(wireWords(in), wireWords(out));
        if (from >= held)
            continue;
        const uint32_t n = std::min(frameWords, held - from);
        kve_vecCopy32(static_cast<const uint32_t *>(in->buffer) + from, 1, o + from, 1, static_cast<int32_t>(n));
    }
}

void multiplexorBypass(ClassModule *m)
{
    const GenericWire *in = wire(m, 1);
    GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    const uint32_t n = std::min(wireWords(in), wireWords(out));
    kve_vecCopy32(in->buffer, 1, out->buffer, 1, static_cast<int32_t>(n));
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSampleMultiplexorControlClass = makeClass<0>(
    0xBEEF0D25u, {multiplexorConstruct, multiplexorProcess, multiplexorBypass}, std::array<Variable, 0>{});
