// Square: every sample of wire 0 times itself into wire 1.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

void square(ClassModule *, const float *x, float *y, int32_t n) { kve_vecMultiply2x1(x, 1, x, 1, y, 1, n); }

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSquareClass =
    makeClass<0>(0xBEEF0840u, {wired<&kve_modSquareClass, 1, 1>, oneToOne<square>}, kVariables);
