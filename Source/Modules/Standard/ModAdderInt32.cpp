// AdderInt32: the integer sum of all inputs (wrapping), elementwise or into one channel.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

using Sum = Fold<int32_t, takeBy<int32_t, kve_vecAdd2x1Int32>, kve_vecAdd2x1Int32, 0>;

} // namespace

extern "C" constinit const ClassRecord<1> kve_modAdderInt32Class =
    makeClass<1>(0xBEEF082Du, {wired<&kve_modAdderInt32Class, 1, 1>, foldProcess<Sum>}, kFoldVariables);
