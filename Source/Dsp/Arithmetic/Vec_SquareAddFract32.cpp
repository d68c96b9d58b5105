#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = dst + src x src: the Fract32 square (never negative) added with saturation at 0x7FFFFFFF.
extern "C" void kve_vecSquareAddFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n)
{
    kve_accumulate1x1(src, srcInc, dst, dstInc, n,
                      [](Fract32 x, Fract32 d) { return kve_addFract32(d, kve_mulFract32(x, x)); });
}
