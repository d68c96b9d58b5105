// SubtractFract32: output i = input i minus the last input, saturated, for every input but the last; one input
// writes nothing.
#include "Modules/Standard/Arithmetic.h"

namespace
{

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSubtractFract32Class = makeClass<0>(
    0xBEEF08CAu, {outputPerInputButLast<&kve_modSubtractFract32Class>, againstLast<kernel2<kve_vecSubtract2x1Fract32>>},
    kVariables);
