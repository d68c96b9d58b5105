#include <cstddef>

#include "Dsp/Lanes.h"
#include "kve/kve_vec.h"

// dst = src, 32-bit word for word; may be called in place.
extern "C" void kve_vecCopy32(const void *src, int32_t srcInc, void *dst, int32_t dstInc, int32_t n)
{
    const uint32_t *s = static_cast<const uint32_t *>(src);
    uint32_t *d = static_cast<uint32_t *>(dst);
    if (srcInc != 1 || dstInc != 1) {
        for (ptrdiff_t i = 0; i < n; ++i) {
            d[i * dstInc] = s[i * srcInc];
        }
        return;
    }
    int32_t i = kve_copyWordBlocks16(s, d, n);
    // The last zero to three blocks of four: all loaded, then all stored.
    const int32_t blocks = (n - i) / 4;
    uint32x4_t w[3];
    for (int32_t k = 0; k < blocks; ++k) {
        w[k] = vld1q_u32(s + i + 4 * k);
    }
    for (int32_t k = 0; k < blocks; ++k) {
        vst1q_u32(d + i + 4 * k, w[k]);
    }
    for (i += 4 * blocks; i < n; ++i) {
        d[i] = s[i];
    }
}
