#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Dsp/BiquadFixed/BiquadFract32.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

namespace {

constexpr int64_t kMin56 = -(int64_t{1} << 55);
constexpr int64_t kMax56 = (int64_t{1} << 55) - 1;
constexpr int64_t kMin48 = -(int64_t{1} << 47);
constexpr int64_t kMax48 = (int64_t{1} << 47) - 1;

int64_t clamp(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// A 32-bit word as the datapath's 24-bit operand (its top 24 bits), in units of 2^-23.
int64_t operand(Fract32 w) { return w >> 8; }

// The 48-bit feedback state (units 2^-47) times a 24-bit coefficient, in units of 2^-47, formed as the multiplier
// does it from the state's upper and lower 24 bits; the sum is the exact product rounded toward minus infinity.
int64_t feedback(int64_t y, int64_t c) { return (y >> 24) * c * 2 + (((y & 0xFFFFFF) * c) >> 23); }

// A 64-bit y word of the state record, low 32-bit word first. The kernel writes only 48-bit values there; any other
// value is clamped to 48 bits on entry, so no stored word can overflow the products.
int64_t loadY(const int32_t *words)
{
    int64_t v;
    std::memcpy(&v, words, sizeof v);
    return clamp(v, kMin48, kMax48);
}

void storeY(int32_t *words, int64_t v) { std::memcpy(words, &v, sizeof v); }

} // namespace

// A 24x24-bit multiplier into a 56-bit accumulator with a 48-bit feedback state: operands are the top 24 bits of
// each word; the feed-forward products are summed exactly and doubled (units 2^-47), shifted by
// postShiftB - postShiftA, the -a1 y1 and -a2 y2 terms added, each sum saturated to 56 bits, and the total shifted
// by postShiftA (right: arithmetically; left: saturating to 56 bits). The output is the total >> 16 saturated to
// 32 bits; the y state keeps the total saturated to 48 bits.
extern "C" void kve_vecBiquadFract24x24A56(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                           const Fract32 *coeffs, int32_t *state, int32_t postShiftB,
                                           int32_t postShiftA, int32_t n)
{
    const KveBiquadSectionFract32 c = kve_biquadSectionFract32(coeffs);
    if (n < 1 && !c.firstOrder) {
        return;
    }
    const int64_t b0 = operand(c.b0);
    const int64_t b1 = operand(c.b1);
    const int64_t b2 = operand(c.b2);
    const int64_t na1 = operand(c.na1);
    const int64_t na2 = operand(c.na2);
    const int32_t shiftFF = kve_feedForwardShift(postShiftB, postShiftA);
    const int32_t shiftA = kve_shiftCount16(postShiftA);
    Fract32 x1 = state[0];
    Fract32 x2 = state[1];
    int64_t y1 = loadY(state + 2);
    int64_t y2 = loadY(state + 4);
    for (int32_t i = 0; i < n; ++i) {
        const Fract32 x = src[i * static_cast<ptrdiff_t>(srcInc)];
        const int64_t ff = 2 * (operand(x1) * b1 + operand(x) * b0 + operand(x2) * b2);
        int64_t acc = kve_shiftSaturate(ff, shiftFF, kMin56, kMax56);
        acc = clamp(acc + feedback(y1, na1), kMin56, kMax56);
        acc = clamp(acc + feedback(y2, na2), kMin56, kMax56);
        acc = kve_shiftSaturate(acc, shiftA, kMin56, kMax56);
        dst[i * static_cast<ptrdiff_t>(dstInc)] = kve_saturate64(acc >> 16);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = clamp(acc, kMin48, kMax48);
    }
    if (c.firstOrder) {
        x2 = x1;
        y2 = y1;
    }
    state[0] = x1;
    state[1] = x2;
    storeY(state + 2, y1);
    storeY(state + 4, y2);
}
