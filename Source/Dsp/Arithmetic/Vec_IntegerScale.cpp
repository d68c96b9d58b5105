#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = src x factor, wrapping modulo 2^32.
extern "C" void kve_vecIntegerScale(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t factor,
                                    int32_t n)
{
    kve_map1x1(src, srcInc, dst, dstInc, n, [=](int32_t x) { return kve_mulInt32Wrap(x, factor); });
}
