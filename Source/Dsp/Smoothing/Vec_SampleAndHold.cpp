#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// Per sample: where the control word is non-zero (as a bit pattern, so a float -0.0 counts) the input word passes
// and becomes the held word; elsewhere the held word repeats. Words are copied as 32-bit patterns, for float and
// integer signals alike; the held word is stored back.
extern "C" void kve_vecSampleAndHold(const void *src, int32_t srcInc, void *dst, int32_t dstInc, const void *ctrl,
                                     int32_t ctrlInc, void *held, int32_t n)
{
    if (n < 1) {
        return;
    }
    const uint32_t *s = static_cast<const uint32_t *>(src);
    const uint32_t *c = static_cast<const uint32_t *>(ctrl);
    uint32_t *d = static_cast<uint32_t *>(dst);
    uint32_t h = *static_cast<uint32_t *>(held);
    for (ptrdiff_t i = 0; i < n; ++i) {
        if (c[i * ctrlInc] != 0) {
            h = s[i * srcInc];
        }
        d[i * dstInc] = h;
    }
    *static_cast<uint32_t *>(held) = h;
}
