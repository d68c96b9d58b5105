#include <cstddef>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = src rounded half away from zero (each half-added sum rounded to single precision first), saturated to
// -2147483647..2147483647; NaN gives 0.
extern "C" void kve_vecFloatToInt(const float *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = kve_floatToInt(src[i * srcInc]);
    }
}
