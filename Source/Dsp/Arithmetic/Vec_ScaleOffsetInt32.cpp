#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = offset + gain x src, wrapping modulo 2^32.
extern "C" void kve_vecScaleOffsetInt32(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc,
                                        int32_t gain, int32_t offset, int32_t n)
{
    kve_map1x1(src, srcInc, dst, dstInc, n,
               [=](int32_t x) { return kve_addInt32Wrap(offset, kve_mulInt32Wrap(gain, x)); });
}
