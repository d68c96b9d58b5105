#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = 1.0f / x (IEEE division: zero gives infinity of its sign).
extern "C" void kve_vecReciprocal(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = 1.0f / src[i * srcInc];
    }
}
