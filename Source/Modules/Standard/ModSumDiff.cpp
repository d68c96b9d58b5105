// SumDiff: inputs a and b into (a + b) / 2 and (a - b) / 2.
#include "Modules/Standard/Arithmetic.h"

namespace
{

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSumDiffClass = makeClass<0>(
    0xBEEF0844u, {wired<&kve_modSumDiffClass, 2, 2>, halfSumAndDifference<kve_vecScaleSumDiff>}, kVariables);
