#include <cmath>
#include <cstddef>

#include "kve/kve_vec.h"

// One sample to Q1.15: x x 32768 moved half a unit away from zero and truncated (single precision); below -1.0
// gives -32768, 1.0 and above 32767, and the 32768 that inputs just under 1.0 round to is held at 32767. NaN gives 0.
static int16_t floatToFract16(float x)
{
    if (std::isnan(x)) {
        return 0;
    }
    if (x < -1.0f) {
        return INT16_MIN;
    }
    if (x >= 1.0f) {
        return INT16_MAX;
    }
    const float y = x * 32768.0f;
    const int32_t rounded = static_cast<int32_t>(y > 0.0f ? y + 0.5f : y - 0.5f);
    return rounded > INT16_MAX ? INT16_MAX : static_cast<int16_t>(rounded);
}

// dst16 = src as a 16-bit fraction (Q1.15), rounded half away from zero and saturated; dst16Inc counts 16-bit samples.
extern "C" void kve_vecFloatToFract16(const float *src, int32_t srcInc, int16_t *dst16, int32_t dst16Inc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst16[i * dst16Inc] = floatToFract16(src[i * srcInc]);
    }
}
