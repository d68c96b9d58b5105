#include <cstdint>

#include "Dsp/BiquadFixed/BiquadFract32.h"
#include "kve/kve_vec.h"

namespace {

// The multiplier's doubled 64-bit product in units of 2^-63, not saturated: -1.0 x -1.0 wraps to -1.0 as it does in
// the modelled datapath.
int64_t product(Fract32 a, Fract32 b)
{
    return static_cast<int64_t>(static_cast<uint64_t>(int64_t{a} * b) << 1);
}

// Accumulator sum, saturated to the 64-bit limits on either side.
int64_t accumulate(int64_t a, int64_t b)
{
    int64_t sum;
    if (__builtin_add_overflow(a, b, &sum)) {
        return a < 0 ? INT64_MIN : INT64_MAX;
    }
    return sum;
}

} // namespace

// A 32x32-bit multiplier into a 64-bit accumulator: doubled products summed with saturation (x1 b1 + x b0, then
// + x2 b2), shifted by postShiftB - postShiftA, the -a1 y1 and -a2 y2 terms added, the total shifted by postShiftA
// (right: arithmetically; left: saturating). y = the high 32 bits of the accumulator.
extern "C" void kve_vecBiquadFract32x32A64(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                           const Fract32 *coeffs, Fract32 *state, int32_t postShiftB,
                                           int32_t postShiftA, int32_t n)
{
    const KveBiquadSectionFract32 c = kve_biquadSectionFract32(coeffs);
    const int32_t shiftFF = kve_feedForwardShift(postShiftB, postShiftA);
    const int32_t shiftA = kve_shiftCount16(postShiftA);
    kve_biquadDF1Fract32(src, srcInc, dst, dstInc, c.firstOrder, state, n,
                         [=](Fract32 x, Fract32 x1, Fract32 x2, Fract32 y1, Fract32 y2) {
                             int64_t acc = accumulate(product(x1, c.b1), product(x, c.b0));
                             acc = accumulate(acc, product(x2, c.b2));
                             acc = kve_shiftSaturate(acc, shiftFF, INT64_MIN, INT64_MAX);
                             acc = accumulate(acc, product(y1, c.na1));
                             acc = accumulate(acc, product(y2, c.na2));
                             acc = kve_shiftSaturate(acc, shiftA, INT64_MIN, INT64_MAX);
                             return static_cast<Fract32>(acc >> 32);
                         });
}
