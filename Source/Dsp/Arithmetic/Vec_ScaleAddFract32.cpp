#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = dst + src x gain x 2^postShift: the Fract32 product, shifted (a left shift saturating the shifted product),
// then added with saturation. Only the low 16 bits of postShift count.
extern "C" void kve_vecScaleAddFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                       Fract32 gain, int32_t postShift, int32_t n)
{
    kve_accumulate1x1(src, srcInc, dst, dstInc, n, [=](Fract32 x, Fract32 d) {
        return kve_addFract32(d, kve_shiftProductFract32(kve_mulFract32(x, gain), postShift));
    });
}
