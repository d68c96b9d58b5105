// OverlapAddFract32: blocks added with saturation into a ring of `bufferLength` frames, handed out a hop (the output's
// block size) at a time.
#include "Modules/Advanced/WindowKit.h"

namespace {

using namespace kve::kit;
using namespace kve::windows;

using Module = OverlapAddModule<Fract32>;

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(Module, stateIndex, Int),
    KVE_VARIABLE(Module, bufferLength, Int),
    KVE_VARIABLE(Module, reservedValue, Int),
    KVE_ARRAY_IN(Module, state, Fract32Array, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *overlapAddFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    return overlapAddConstructor(kve_modOverlapAddFract32Class, kVariables, 0, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modOverlapAddFract32Class =
    makeClass<4>(0xBEEF0D15u,
                 {overlapAddFract32Constructor, overlapAddProcess<Fract32, 0>, IOMatchUpModule_Bypass, nullptr},
                 kVariables);
