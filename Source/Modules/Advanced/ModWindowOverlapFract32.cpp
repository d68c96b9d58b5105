// WindowOverlapFract32: the synthesis window of a block, in Fract32 coefficients the layout writes, overlap-added with
// saturating products and sums at a hop of the output's block size.
#include "Modules/Advanced/WindowKit.h"

namespace {

using namespace kve::kit;
using namespace kve::windows;

using Module = WindowOverlapModule<Fract32>;

constexpr std::array<Variable, 2> kVariables = {
    KVE_ARRAY(Module, window, Fract32Array, perBlockOfWire(0)),
    KVE_ARRAY_IN(Module, state, Fract32Array, perWordOfWire(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *windowOverlapFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                             const uint32_t *args)
{
    return windowOverlapConstructor(kve_modWindowOverlapFract32Class, kVariables, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modWindowOverlapFract32Class =
    makeClass<2>(0xBEEF0D4Eu,
                 {windowOverlapFract32Constructor, windowOverlapProcess<Fract32>, IOMatchUpModule_Bypass, nullptr},
                 kVariables);
