// WindowOverlap: the synthesis window of a block overlap-added at a hop of the output's block size.
#include "Modules/Advanced/WindowKit.h"

namespace {

using namespace kve::kit;
using namespace kve::windows;

using Module = WindowOverlapModule<float>;

constexpr std::array<Variable, 2> kVariables = {
    KVE_ARRAY(Module, window, FloatArray, perBlockOfWire(0)),
    KVE_ARRAY_IN(Module, state, FloatArray, perWordOfWire(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *windowOverlapFloatConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                           const uint32_t *args)
{
    return windowOverlapConstructor(kve_modWindowOverlapClass, kVariables, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modWindowOverlapClass =
    makeClass<2>(0xBEEF0D4Fu,
                 {windowOverlapFloatConstructor, windowOverlapProcess<float>, IOMatchUpModule_Bypass, nullptr},
                 kVariables);
