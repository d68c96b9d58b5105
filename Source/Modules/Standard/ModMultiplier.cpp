// Multiplier: the product of all inputs, elementwise or into one channel that starts at 1.0.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

using Product = Fold<float, takeBy<float, kve_vecMultiply2x1>, kve_vecMultiply2x1, 1>;

} // namespace

extern "C" constinit const ClassRecord<1> kve_modMultiplierClass =
    makeClass<1>(0xBEEF0FF0u, {wired<&kve_modMultiplierClass, 1, 1>, foldProcess<Product>}, kFoldVariables);
