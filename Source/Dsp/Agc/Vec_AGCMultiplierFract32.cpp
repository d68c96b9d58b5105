#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = src x gain x 2^postShift: the Fract32 product (-1 x -1 giving 0x7FFFFFFF before any shift), shifted right
// arithmetically for a negative postShift, left with saturation for a positive one; only the low 16 bits of
// postShift count.
extern "C" void kve_vecAGCMultiplierFract32(const Fract32 *src, int32_t srcInc, const Fract32 *gain, int32_t gainInc,
                                            Fract32 *dst, int32_t dstInc, int32_t postShift, int32_t n)
{
    kve_map2x1(src, srcInc, gain, gainInc, dst, dstInc, n,
               [=](Fract32 x, Fract32 g) { return kve_shiftProductFract32(kve_mulFract32(x, g), postShift); });
}
