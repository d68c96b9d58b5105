// Divide: output i = input i divided by the last input (0 where the divisor is 0), for every input but the last; one
// input writes nothing.
#include "Modules/Standard/Arithmetic.h"

namespace
{

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modDivideClass = makeClass<0>(
    0xBEEF082Fu, {outputPerInputButLast<&kve_modDivideClass>, againstLast<kernel2<kve_vecDivide2x1>>}, kVariables);
