#include <cstddef>

#include "kve/kve_vec.h"

// dst = src, the same 32-bit pattern: the fraction k / 2^31 becomes the integer k.
extern "C" void kve_vecFract32ToInt(const Fract32 *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = src[i * srcInc];
    }
}
