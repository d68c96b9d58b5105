#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = src x gain x 2^postShift + offset: the Fract32 product scaled in 64 bits without saturation, the offset
// added, and only the sum saturated, so an offset can bring a product beyond full scale back into range.
extern "C" void kve_vecScaleOffsetFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                          Fract32 gain, int32_t postShift, Fract32 offset, int32_t n)
{
    kve_map1x1(src, srcInc, dst, dstInc, n, [=](Fract32 x) {
        return kve_saturate64(kve_shiftProduct64(kve_mulFract32(x, gain), postShift) + offset);
    });
}
