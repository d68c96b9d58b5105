// MultiplierFract32: the Fract32 product of all inputs, elementwise or into one channel that starts at full scale.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

} // namespace

extern "C" constinit const ClassRecord<1> kve_modMultiplierFract32Class = makeClass<1>(
    0xBEEF08A0u, {wired<&kve_modMultiplierFract32Class, 1, 1>, foldProcess<Fract32Product>}, kFoldVariables);
