// SquareAddFract32: the sum of the Fract32 squares of all inputs, saturated at full scale, elementwise or into one
// channel.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

using SumOfSquares = Fold<int32_t, kve_vecSquareAddFract32, nullptr, 0>;

} // namespace

extern "C" constinit const ClassRecord<1> kve_modSquareAddFract32Class = makeClass<1>(
    0xBEEF08C8u, {wired<&kve_modSquareAddFract32Class, 1, 1>, foldProcess<SumOfSquares>}, kFoldVariables);
