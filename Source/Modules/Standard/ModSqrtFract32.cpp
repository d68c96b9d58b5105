// SqrtFract32: the Q1.31 square root of every sample.
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSqrtFract32Class = makeClass<0>(
    0xBEEF08CFu, {wired<&kve_modSqrtFract32Class, 1, 1>, oneToOne<kernel<kve_vecSqrtFract32>>}, kVariables);
