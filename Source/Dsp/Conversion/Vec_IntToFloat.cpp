#include <cstddef>

#include "kve/kve_vec.h"

// dst = src converted to single precision, rounded to nearest (ties to even): 16777217 gives 16777216.0.
extern "C" void kve_vecIntToFloat(const int32_t *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = static_cast<float>(src[i * srcInc]);
    }
}
