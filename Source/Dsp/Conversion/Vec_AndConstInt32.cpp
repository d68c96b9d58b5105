#include "kve/kve_vec.h"

// dst = src AND mask, bit by bit, both contiguous.
extern "C" void kve_vecAndConstInt32(const int32_t *src, int32_t *dst, int32_t mask, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = src[i] & mask;
    }
}
