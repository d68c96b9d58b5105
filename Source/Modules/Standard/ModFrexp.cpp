// Frexp: every sample of wire 0 split into its mantissa, of magnitude in [0.5, 1), into wire 1 and its
// power-of-two exponent, a 32-bit integer word, into wire 2. Zero gives 0 and 0.
#include "Modules/Standard/Math.h"

using namespace kve::math;

namespace {

// Infinity and NaN pass as their own mantissa with exponent 0. Each sample is read before either output is written,
// so either output may share the input's buffer.
void split(ClassModule *, const float *x, float *mantissa, int32_t *exponent, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const float v = x[i];
        int e = 0;
        mantissa[i] = std::frexp(v, &e);
        exponent[i] = std::isfinite(v) ? e : 0;
    }
}

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modFrexpClass =
    plainClass<&kve_modFrexpClass, 1, 2>(0xBEEF0833u, oneToTwo<split>);
