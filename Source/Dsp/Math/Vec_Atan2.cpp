#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = atan2f(y, x) in radians.
extern "C" void kve_vecAtan2(const float *y, int32_t yInc, const float *x, int32_t xInc, float *dst, int32_t dstInc,
                             int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = std::atan2(y[i * yInc], x[i * xInc]);
    }
}
