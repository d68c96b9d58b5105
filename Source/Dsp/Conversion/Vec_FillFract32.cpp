#include <cstddef>

#include "kve/kve_vec.h"

// Every sample of dst = value.
extern "C" void kve_vecFillFract32(Fract32 *dst, int32_t dstInc, Fract32 value, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = value;
    }
}
