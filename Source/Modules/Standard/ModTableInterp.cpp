// TableInterp: every sample of wire 0 through a piecewise cubic whose points and per-segment coefficients the host
// writes; samples outside the points give the end points' values.
#include "Modules/Standard/Delays.h"
#include "kve/kve_vec_math.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::delays;

struct TableInterpModule {
    ClassModule header;
    uint32_t numPoints;
    uint32_t numUsed;
    uint32_t param2; // kept for the host, read by nothing here
    float *points;
    float *coeffs;
};

// One more segment of coefficients than the points make: the kit sizes arrays by a multiple of an argument.
constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(TableInterpModule, numPoints, UInt),
    KVE_VARIABLE(TableInterpModule, numUsed, UInt),
    KVE_VARIABLE(TableInterpModule, param2, UInt),
    KVE_ARRAY_IN(TableInterpModule, points, FloatArray, perArgument(0, 2), 0x231),
    KVE_ARRAY_IN(TableInterpModule, coeffs, FloatArray, perArgument(0, 4), 0x231),
};

ClassModule *tableInterpConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    return construct(kve_modTableInterpClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modTableInterpClass =
    makeClass<5>(0xBEEF08D0u,
                 {tableInterpConstructor, oneToOne<tableBody<TableInterpModule, 4, kve_vecTableInterp, float>>},
                 kVariables);
