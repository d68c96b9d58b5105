// SubtractInt32: output i = input i minus the last input, wrapping, for every input but the last; one input writes
// nothing.
#include "Modules/Standard/Arithmetic.h"

namespace
{

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSubtractInt32Class = makeClass<0>(
    0xBEEF0843u, {outputPerInputButLast<&kve_modSubtractInt32Class>, againstLast<kernel2<kve_vecSubtract2x1Int32>>},
    kVariables);
