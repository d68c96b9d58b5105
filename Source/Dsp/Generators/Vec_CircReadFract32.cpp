#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// dst element = buf[idx], idx += step, into a destination ring of dstLen Fract32 samples that dst walks by dstInc.
extern "C" void kve_vecCircReadFract32(const Fract32 *buf, int32_t len, int32_t *idx, int32_t step, Fract32 *dst,
                                       Fract32 *dstBase, int32_t dstLen, int32_t dstInc, int32_t n)
{
    kve_ringReadIntoRing(buf, len, idx, step, dst, dstBase, dstLen, dstInc, n);
}
