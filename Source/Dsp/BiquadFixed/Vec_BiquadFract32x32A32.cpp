#include "Dsp/BiquadFixed/BiquadFract32.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// A 32x32-bit multiplier into a 32-bit accumulator: Fract32 products (rounded toward minus infinity), every partial
// sum saturated to 32 bits (x1 b1 + x b0, then + x2 b2, the shift by postShiftB - postShiftA, + the -a1 y1 term,
// + the -a2 y2 term), the total shifted by postShiftA (right: arithmetically; left: saturating). y = that word.
extern "C" void kve_vecBiquadFract32x32A32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                           const Fract32 *coeffs, Fract32 *state, int32_t postShiftB,
                                           int32_t postShiftA, int32_t n)
{
    const KveBiquadSectionFract32 c = kve_biquadSectionFract32(coeffs);
    const int32_t shiftFF = kve_feedForwardShift(postShiftB, postShiftA);
    const int32_t shiftA = kve_shiftCount16(postShiftA);
    kve_biquadDF1Fract32(src, srcInc, dst, dstInc, c.firstOrder, state, n,
                         [=](Fract32 x, Fract32 x1, Fract32 x2, Fract32 y1, Fract32 y2) {
                             Fract32 acc = kve_addFract32(kve_mulFract32(x1, c.b1), kve_mulFract32(x, c.b0));
                             acc = kve_addFract32(acc, kve_mulFract32(x2, c.b2));
                             acc = kve_shiftProductFract32(acc, shiftFF);
                             acc = kve_addFract32(acc, kve_mulFract32(y1, c.na1));
                             acc = kve_addFract32(acc, kve_mulFract32(y2, c.na2));
                             return kve_shiftProductFract32(acc, shiftA);
                         });
}
