// SquareFract32: x x x as a Fract32 product (rounded toward minus infinity; -1 x -1 saturates to 0x7FFFFFFF).
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

void square(ClassModule *, const Fract32 *x, Fract32 *y, int32_t n) { kve_vecMultiply2x1Fract32(x, 1, x, 1, y, 1, n); }

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSquareFract32Class =
    makeClass<0>(0xBEEF08C9u, {wired<&kve_modSquareFract32Class, 1, 1>, oneToOne<square>}, kVariables);
