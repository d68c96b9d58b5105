// Modf: every sample of wire 0 split into its fractional part into wire 1 and its whole part into wire
// 2, both with the sample's sign.
#include "Modules/Standard/Math.h"

using namespace kve::math;

namespace {

// Each sample is read before either output is written, so either output may share the input's buffer.
void split(ClassModule *, const float *x, float *fraction, float *whole, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        float w = 0.0f;
        fraction[i] = std::modf(x[i], &w);
        whole[i] = w;
    }
}

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modModfClass =
    plainClass<&kve_modModfClass, 1, 2>(0xBEEF0838u, oneToTwo<split>);
