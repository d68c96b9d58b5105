#include "Dsp/BiquadFixed/BiquadFract32.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// One direct-form-I section: y = (b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2) x 2^postShift, each product a Fract32
// product (rounded toward minus infinity), the five summed exactly in 64 bits, the sum shifted (right:
// arithmetically; left: saturating) and saturated to 32 bits.
extern "C" void kve_vecBiquadFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                     const Fract32 *coeffs, Fract32 *state, int32_t postShift, int32_t n)
{
    const KveBiquadSectionFract32 c = kve_biquadSectionFract32(coeffs);
    kve_biquadDF1Fract32(src, srcInc, dst, dstInc, c.firstOrder, state, n,
                         [=](Fract32 x, Fract32 x1, Fract32 x2, Fract32 y1, Fract32 y2) {
                             const int64_t sum = int64_t{kve_mulFract32(x, c.b0)} + kve_mulFract32(x1, c.b1) +
                                                 kve_mulFract32(x2, c.b2) + kve_mulFract32(y1, c.na1) +
                                                 kve_mulFract32(y2, c.na2);
                             return static_cast<Fract32>(kve_shiftSaturate(sum, postShift, INT32_MIN, INT32_MAX));
                         });
}

// The same section on contiguous vectors.
extern "C" void kve_vecBiquadFract32_single(const Fract32 *src, Fract32 *dst, const Fract32 *coeffs, Fract32 *state,
                                            int32_t postShift, int32_t n)
{
    kve_vecBiquadFract32(src, 1, dst, 1, coeffs, state, postShift, n);
}
