#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = sqrtf(|x|).
extern "C" void kve_vecSqrt(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = std::sqrt(std::fabs(src[i * srcInc]));
    }
}
