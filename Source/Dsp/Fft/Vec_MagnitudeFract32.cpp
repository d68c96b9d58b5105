#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = sqrt(re^2 + im^2) in Q31: each square a Fract32 product (-1 x -1 gives 0x7FFFFFFF), the sum saturated, and
// the root by the fixed-point square root. srcInc counts words (2 for a contiguous complex vector).
extern "C" void kve_vecMagnitudeFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t k = 0; k < n; ++k) {
        const Fract32 re = src[k * srcInc];
        const Fract32 im = src[k * srcInc + 1];
        const Fract32 power = kve_addFract32(kve_mulFract32(re, re), kve_mulFract32(im, im));
        kve_vecSqrtFract32(&power, 1, dst + k * dstInc, 1, 1);
    }
}
