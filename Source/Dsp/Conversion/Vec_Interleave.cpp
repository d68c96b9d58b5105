#include <cstddef>

#include "kve/kve_vec.h"

// dst[2i] = a[i], dst[2i + 1] = b[i]: two channels of 32-bit words into one stereo buffer of 2n words. dst must not
// overlap a or b.
extern "C" void kve_vecInterleave(const void *a, const void *b, void *dst, int32_t n)
{
    const uint32_t *left = static_cast<const uint32_t *>(a);
    const uint32_t *right = static_cast<const uint32_t *>(b);
    uint32_t *out = static_cast<uint32_t *>(dst);
    for (ptrdiff_t i = 0; i < n; ++i) {
        out[2 * i] = left[i];
        out[2 * i + 1] = right[i];
    }
}
