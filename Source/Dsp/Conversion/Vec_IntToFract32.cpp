#include <cstddef>

#include "kve/kve_vec.h"

// dst = src, the same 32-bit pattern: the integer k becomes the fraction k / 2^31.
extern "C" void kve_vecIntToFract32(const int32_t *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = src[i * srcInc];
    }
}
