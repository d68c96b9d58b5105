// SquareAdd: the sum of the squares of all inputs, elementwise or into one channel.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

using SumOfSquares = Fold<float, kve_vecSquareAdd, nullptr, 0>;

} // namespace

extern "C" constinit const ClassRecord<1> kve_modSquareAddClass = makeClass<1>(
    0xBEEF0841u, {wired<&kve_modSquareAddClass, 1, 1>, foldProcess<SumOfSquares>}, kFoldVariables);
