#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = c + a x b: the Fract32 product (-1 x -1 giving 0x7FFFFFFF), then the sum saturated like every Fract32 sum.
extern "C" void kve_vecMultiplyAddFract32(const Fract32 *a, int32_t aInc, const Fract32 *b, int32_t bInc,
                                          const Fract32 *c, int32_t cInc, Fract32 *dst, int32_t dstInc, int32_t n)
{
    kve_map3x1(a, aInc, b, bInc, c, cInc, dst, dstInc, n,
               [](Fract32 x, Fract32 y, Fract32 z) { return kve_addFract32(z, kve_mulFract32(x, y)); });
}
