// Subtract: output i = input i minus the last input, for every input but the last; one input writes nothing.
#include "Modules/Standard/Arithmetic.h"

namespace
{

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSubtractClass = makeClass<0>(
    0xBEEF0842u, {outputPerInputButLast<&kve_modSubtractClass>, againstLast<kernel2<kve_vecSubtract2x1>>}, kVariables);
