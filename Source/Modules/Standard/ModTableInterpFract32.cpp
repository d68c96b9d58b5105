// TableInterpFract32: TableInterp on Fract32 samples, points and coefficients.
#include "Modules/Standard/Delays.h"
#include "kve/kve_vec_math.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::delays;

struct TableInterpFract32Module {
    ClassModule header;
    uint32_t numPoints;
    uint32_t numUsed;
    uint32_t param2; // param2 .. param4 are kept for the host, read by nothing here
    uint32_t param3;
    uint32_t param4;
    Fract32 *points;
    Fract32 *coeffs;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(TableInterpFract32Module, numPoints, UInt),
    KVE_VARIABLE(TableInterpFract32Module, numUsed, UInt),
    KVE_VARIABLE(TableInterpFract32Module, param2, UInt),
    KVE_VARIABLE(TableInterpFract32Module, param3, UInt),
    KVE_VARIABLE(TableInterpFract32Module, param4, UInt),
    KVE_ARRAY_IN(TableInterpFract32Module, points, Fract32Array, perArgument(0, 2), 0x231),
    KVE_ARRAY_IN(TableInterpFract32Module, coeffs, Fract32Array, perArgument(0, 4), 0x231),
};

ClassModule *tableInterpFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                           const uint32_t *args)
{
    return construct(kve_modTableInterpFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modTableInterpFract32Class = makeClass<7>(
    0xBEEF08D3u,
    {tableInterpFract32Constructor,
     oneToOne<tableBody<TableInterpFract32Module, 4, kve_vecTableInterpFract32, Fract32>>},
    kVariables);
