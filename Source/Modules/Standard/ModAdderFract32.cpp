// AdderFract32: the saturated sum of all inputs, elementwise or into one channel.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

using Sum = Fold<int32_t, takeBy<int32_t, kve_vecAdd2x1Fract32>, kve_vecAdd2x1Fract32, 0>;

} // namespace

extern "C" constinit const ClassRecord<1> kve_modAdderFract32Class =
    makeClass<1>(0xBEEF0881u, {wired<&kve_modAdderFract32Class, 1, 1>, foldProcess<Sum>}, kFoldVariables);
