#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = a + b, saturated to the Fract32 range.
extern "C" void kve_vecAdd2x1Fract32(const Fract32 *a, int32_t aInc, const Fract32 *b, int32_t bInc, Fract32 *dst,
                                     int32_t dstInc, int32_t n)
{
    kve_map2x1(a, aInc, b, bInc, dst, dstInc, n, [](Fract32 x, Fract32 y) { return kve_addFract32(x, y); });
}
