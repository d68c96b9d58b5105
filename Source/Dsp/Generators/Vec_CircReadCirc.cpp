#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// dst element = buf[idx], idx += step, into a destination ring of dstLen floats that dst walks by dstInc.
extern "C" void kve_vecCircReadCirc(const float *buf, int32_t len, int32_t *idx, int32_t step, float *dst,
                                    float *dstBase, int32_t dstLen, int32_t dstInc, int32_t n)
{
    kve_ringReadIntoRing(buf, len, idx, step, dst, dstBase, dstLen, dstInc, n);
}
