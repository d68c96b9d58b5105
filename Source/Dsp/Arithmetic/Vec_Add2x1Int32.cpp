#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = a + b, wrapping modulo 2^32.
extern "C" void kve_vecAdd2x1Int32(const int32_t *a, int32_t aInc, const int32_t *b, int32_t bInc, int32_t *dst,
                                   int32_t dstInc, int32_t n)
{
    kve_map2x1(a, aInc, b, bInc, dst, dstInc, n, [](int32_t x, int32_t y) { return kve_addInt32Wrap(x, y); });
}
