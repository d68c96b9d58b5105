// Interleave: the channels of all input wires, in wire order, become consecutive channels of the output wire.
#include "Modules/Standard/Routers.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

constexpr std::array<Variable, 0> kVariables = {};

ClassModule *interleaveConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    return construct(kve_modInterleaveClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void interleaveProcess(ClassModule *m)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    const GenericWire *out = wire(m, inputs);
    const bool complex = isComplex(wire(m, 0));
    const uint32_t parts = complex ? 2 : 1;
    const uint32_t outChannels = channels(out);
    const auto outStride = static_cast<int32_t>(parts * outChannels);
    uint32_t g = 0;
    for (uint32_t k = 0; k < inputs; ++k) {
        const GenericWire *in = wire(m, k);
        const auto inStride = static_cast<int32_t>(parts * channels(in));
        const int32_t n = routedFrames(in, out, complex);
        // Channels past the output's last are dropped, never written past it.
        for (uint32_t i = 0; i < channels(in) && g < outChannels; ++i, ++g)
            for (uint32_t part = 0; part < parts; ++part)
                kve_vecCopy32(samples(in) + parts * i + part, inStride, samples(out) + parts * g + part, outStride, n);
    }
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modInterleaveClass =
    makeClass<0>(0xBEEF0862u, {interleaveConstructor, interleaveProcess, interleaveProcess}, kVariables);
