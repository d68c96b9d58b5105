// OverlapAdd: blocks added into a ring of `bufferLength` frames, handed out a hop (the output's block size) at a
// time. The ring keeps one spare word past its frames.
#include "Modules/Advanced/WindowKit.h"

namespace {

using namespace kve::kit;
using namespace kve::windows;

using Module = OverlapAddModule<float>;

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(Module, stateIndex, Int),
    KVE_VARIABLE(Module, bufferLength, Int),
    KVE_VARIABLE(Module, reservedValue, Int),
    KVE_ARRAY_IN(Module, state, FloatArray, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *overlapAddFloatConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return overlapAddConstructor(kve_modOverlapAddClass, kVariables, 1, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modOverlapAddClass =
    makeClass<4>(0xBEEF0D16u,
                 {overlapAddFloatConstructor, overlapAddProcess<float, 1>, IOMatchUpModule_Bypass, nullptr},
                 kVariables);
