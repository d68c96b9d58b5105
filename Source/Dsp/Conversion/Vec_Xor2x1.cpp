#include <cstddef>

#include "kve/kve_vec.h"

// dst = a XOR b, bit by bit.
extern "C" void kve_vecXor2x1(const int32_t *a, int32_t aInc, const int32_t *b, int32_t bInc, int32_t *dst,
                              int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = a[i * aInc] ^ b[i * bInc];
    }
}
