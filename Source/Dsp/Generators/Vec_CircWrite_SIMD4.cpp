#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// n contiguous words into the ring at idx, as block copies up to the end of the ring and on from its start.
extern "C" void kve_vecCircWrite_SIMD4(void *buf, int32_t len, int32_t *idx, const void *src, int32_t n)
{
    kve_ringCopyIn(static_cast<uint32_t *>(buf), len, idx, static_cast<const uint32_t *>(src), n);
}
