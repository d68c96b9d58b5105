// Deinterleave: channel c of the input wire becomes output wire 1 + c, a single-channel wire.
#include "Modules/Standard/Routers.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

constexpr std::array<Variable, 0> kVariables = {};

ClassModule *deinterleaveConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                     const uint32_t *args)
{
    return construct(kve_modDeinterleaveClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void deinterleaveProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    const bool complex = isComplex(in);
    const uint32_t parts = complex ? 2 : 1;
    const auto inStride = static_cast<int32_t>(parts * channels(in));
    // An input channel without an output wire is dropped, never written past the wire array.
    const uint32_t served = std::min(channels(in), static_cast<uint32_t>(KVE_PACKED_OUTPUTS(m->packed)));
    for (uint32_t c = 0; c < served; ++c) {
        const GenericWire *out = wire(m, 1 + c);
        const int32_t n = routedFrames(in, out, complex);
        for (uint32_t part = 0; part < parts; ++part)
            kve_vecCopy32(samples(in) + parts * c + part, inStride, samples(out) + part, static_cast<int32_t>(parts),
                          n);
    }
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modDeinterleaveClass =
    makeClass<0>(0xBEEF0861u, {deinterleaveConstructor, deinterleaveProcess, deinterleaveProcess}, kVariables);
