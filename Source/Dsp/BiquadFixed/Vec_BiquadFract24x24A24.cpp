#include <cstdint>

#include "Dsp/BiquadFixed/BiquadFract32.h"
#include "kve/kve_vec.h"

namespace {

constexpr int64_t kMin24 = -0x800000;
constexpr int64_t kMax24 = 0x7FFFFF;

// A 32-bit word as the datapath's 24-bit operand (its top 24 bits), in units of 2^-23.
int32_t operand(Fract32 w) { return w >> 8; }

// The 24x24-bit product in units of 2^-23: shifted right by 15 and kept in a 32-bit register, then by 8. Only
// -1.0 x -1.0 reaches 2^31, which wraps to -1.0 as it does in the modelled datapath.
int32_t product(int32_t a, int32_t c)
{
    const auto wide = static_cast<int32_t>(static_cast<uint32_t>((int64_t{a} * c) >> 15));
    return wide >> 8;
}

int32_t clamp24(int64_t v) { return static_cast<int32_t>(v < kMin24 ? kMin24 : (v > kMax24 ? kMax24 : v)); }

} // namespace

// A 24x24-bit multiplier into a 24-bit accumulator: operands are the top 24 bits of each word, every partial sum
// saturates to 24 bits (x1 b1 + x b0, then + x2 b2, the shift by postShiftB - postShiftA, + the -a1 y1 term,
// + the -a2 y2 term). y = the total moved to the top of a 32-bit word, shifted by postShiftA: left with saturation
// to 24 bits, so the low 8 bits stay zero; right arithmetically on the 32-bit word, which keeps the bits shifted
// below the 24.
extern "C" void kve_vecBiquadFract24x24A24(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                           const Fract32 *coeffs, Fract32 *state, int32_t postShiftB,
                                           int32_t postShiftA, int32_t n)
{
    const KveBiquadSectionFract32 c = kve_biquadSectionFract32(coeffs);
    const int32_t b0 = operand(c.b0);
    const int32_t b1 = operand(c.b1);
    const int32_t b2 = operand(c.b2);
    const int32_t na1 = operand(c.na1);
    const int32_t na2 = operand(c.na2);
    const int32_t shiftFF = kve_feedForwardShift(postShiftB, postShiftA);
    const int32_t shiftA = kve_shiftCount16(postShiftA);
    kve_biquadDF1Fract32(src, srcInc, dst, dstInc, c.firstOrder, state, n,
                         [=](Fract32 x, Fract32 x1, Fract32 x2, Fract32 y1, Fract32 y2) {
                             int32_t acc = clamp24(int64_t{product(operand(x1), b1)} + product(operand(x), b0));
                             acc = clamp24(int64_t{acc} + product(operand(x2), b2));
                             acc = static_cast<int32_t>(kve_shiftSaturate(acc, shiftFF, kMin24, kMax24));
                             acc = clamp24(int64_t{acc} + product(operand(y1), na1));
                             acc = clamp24(int64_t{acc} + product(operand(y2), na2));
                             if (shiftA >= 0) {
                                 return static_cast<Fract32>(kve_shiftSaturate(acc, shiftA, kMin24, kMax24) * 256);
                             }
                             return static_cast<Fract32>(kve_shiftSaturate(int64_t{acc} * 256, shiftA, INT32_MIN,
                                                                           INT32_MAX));
                         });
}
