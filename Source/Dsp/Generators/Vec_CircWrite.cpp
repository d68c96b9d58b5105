#include <cstddef>

#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// buf[idx] = src element, idx += step around the ring. A contiguous source with step 1 goes in as block copies.
extern "C" void kve_vecCircWrite(void *buf, int32_t len, int32_t *idx, int32_t step, const void *src, int32_t srcInc,
                                 int32_t n)
{
    uint32_t *ring = static_cast<uint32_t *>(buf);
    const uint32_t *s = static_cast<const uint32_t *>(src);
    if (len > 1 && kve_ringStep(step, len) == 1 && srcInc == 1) {
        kve_ringCopyIn(ring, len, idx, s, n);
        return;
    }
    kve_ringWalk(len, idx, step, n, [&](ptrdiff_t i, int32_t k) { ring[i] = s[static_cast<ptrdiff_t>(k) * srcInc]; });
}
