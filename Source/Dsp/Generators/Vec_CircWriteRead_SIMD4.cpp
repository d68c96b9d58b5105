#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// The whole block of n words written into the ring at writeIdx, then the whole block read from readIdx. A read index
// less than n ahead of the write index so reads samples of this very block, where the per-sample kernel reads the
// ones they overwrite.
extern "C" void kve_vecCircWriteRead_SIMD4(void *buf, int32_t len, int32_t *writeIdx, int32_t *readIdx,
                                           const void *src, void *dst, int32_t n)
{
    uint32_t *ring = static_cast<uint32_t *>(buf);
    kve_ringCopyIn(ring, len, writeIdx, static_cast<const uint32_t *>(src), n);
    kve_ringCopyOut(ring, len, readIdx, static_cast<uint32_t *>(dst), n);
}
