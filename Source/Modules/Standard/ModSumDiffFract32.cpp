// SumDiffFract32: inputs a and b into a/2 + b/2 and a/2 - b/2, each half rounded toward minus infinity.
#include "Modules/Standard/Arithmetic.h"

namespace
{

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSumDiffFract32Class = makeClass<0>(
    0xBEEF08CBu, {wired<&kve_modSumDiffFract32Class, 2, 2>, halfSumAndDifference<kve_vecScaleSumDiffFract32>},
    kVariables);
