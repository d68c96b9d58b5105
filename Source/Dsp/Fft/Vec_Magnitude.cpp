#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = sqrt(re^2 + im^2), the sum of squares fused. srcInc counts floats (2 for a contiguous complex vector).
extern "C" void kve_vecMagnitude(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t k = 0; k < n; ++k) {
        const float re = src[k * srcInc];
        const float im = src[k * srcInc + 1];
        dst[k * dstInc] = std::sqrt(std::fma(re, re, im * im));
    }
}
