#include <cstddef>

#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// Per sample buf[writeIdx] = src element, then dst element = buf[readIdx]; both indices move by step, both vectors by
// inc. The source element is read before the destination element is written, so src and dst may be the same vector.
extern "C" void kve_vecCircWriteRead(void *buf, int32_t len, int32_t *writeIdx, int32_t *readIdx, int32_t step,
                                     const void *src, void *dst, int32_t inc, int32_t n)
{
    uint32_t *ring = static_cast<uint32_t *>(buf);
    const uint32_t *s = static_cast<const uint32_t *>(src);
    uint32_t *d = static_cast<uint32_t *>(dst);
    kve_ringWalk2(len, writeIdx, readIdx, step, n, [&](ptrdiff_t w, ptrdiff_t r, int32_t k) {
        const ptrdiff_t at = static_cast<ptrdiff_t>(k) * inc;
        ring[w] = s[at];
        d[at] = ring[r];
    });
}
