// Ldexp: every sample a of wire 0 times 2 to the power b, the 32-bit integer word of wire 1, into wire 2.
#include "Modules/Standard/Math.h"

using namespace kve::math;

namespace {

void scaleByPowerOfTwo(ClassModule *, const float *a, const int32_t *b, float *y, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        y[i] = std::scalbn(a[i], b[i]);
}

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modLdexpClass =
    plainClass<&kve_modLdexpClass, 2, 1>(0xBEEF0834u, twoToOne<scaleByPowerOfTwo>);
