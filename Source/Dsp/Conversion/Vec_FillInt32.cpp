#include <cstddef>

#include "kve/kve_vec.h"

// Every sample of dst = value.
extern "C" void kve_vecFillInt32(int32_t *dst, int32_t dstInc, int32_t value, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = value;
    }
}
