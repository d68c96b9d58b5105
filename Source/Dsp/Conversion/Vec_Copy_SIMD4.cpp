#include <cstring>

#include "Dsp/Lanes.h"
#include "kve/kve_vec.h"

// dst = src, 32-bit word for word, both contiguous; may be called in place.
extern "C" void kve_vecCopy_SIMD4(const void *src, void *dst, int32_t n)
{
    const uint32_t *s = static_cast<const uint32_t *>(src);
    uint32_t *d = static_cast<uint32_t *>(dst);
    int32_t i = kve_copyWordBlocks16(s, d, n);
    for (; n - i >= 4; i += 4) {
        vst1q_u32(d + i, vld1q_u32(s + i));
    }
    // memmove rather than memcpy: a copy in place hands it the same range twice.
    if (i < n) {
        std::memmove(d + i, s + i, static_cast<size_t>(n - i) * sizeof(uint32_t));
    }
}
