// SumDiffInt32: inputs a and b into (a + b) / 2 and (a - b) / 2, the sums wrapping and the halves truncated toward
// zero.
#include "Modules/Standard/Arithmetic.h"

namespace
{

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSumDiffInt32Class = makeClass<0>(
    0xBEEF0845u, {wired<&kve_modSumDiffInt32Class, 2, 2>, halfSumAndDifference<kve_vecScaleSumDiffInt32>}, kVariables);
