#include <algorithm>

#include "Dsp/Elementwise.h"
#include "kve/kve_vec_compare.h"

// dst = max(a, b) as signed words, strided.
extern "C" void kve_GreaterSWFract32(const Fract32 *a, int32_t aInc, const Fract32 *b, int32_t bInc, Fract32 *dst,
                                     int32_t dstInc, int32_t n)
{
    kve_map2x1(a, aInc, b, bInc, dst, dstInc, n, [](Fract32 x, Fract32 y) { return std::max(x, y); });
}
