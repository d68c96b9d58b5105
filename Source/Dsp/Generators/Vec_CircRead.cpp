#include <cstddef>

#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// dst element = buf[idx], idx += step around the ring. A contiguous destination with step 1 comes out as block
// copies.
extern "C" void kve_vecCircRead(const void *buf, int32_t len, int32_t *idx, int32_t step, void *dst, int32_t dstInc,
                                int32_t n)
{
    const uint32_t *ring = static_cast<const uint32_t *>(buf);
    uint32_t *d = static_cast<uint32_t *>(dst);
    if (len > 1 && kve_ringStep(step, len) == 1 && dstInc == 1) {
        kve_ringCopyOut(ring, len, idx, d, n);
        return;
    }
    kve_ringWalk(len, idx, step, n, [&](ptrdiff_t i, int32_t k) { d[static_cast<ptrdiff_t>(k) * dstInc] = ring[i]; });
}
