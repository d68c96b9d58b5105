#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// n contiguous words out of the ring from idx, as block copies up to the end of the ring and on from its start.
extern "C" void kve_vecCircRead_SIMD4(const void *buf, int32_t len, int32_t *idx, void *dst, int32_t n)
{
    kve_ringCopyOut(static_cast<const uint32_t *>(buf), len, idx, static_cast<uint32_t *>(dst), n);
}
