#include <cstddef>

#include "Dsp/BiquadFixed/BiquadFract32.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

namespace {

// The state words of a section hold Q4.28 samples (x >> 3), which leaves five full 64-bit products three bits of
// headroom. Words out of that range (never written by the kernel) are clamped into it on entry, so no state a
// caller stores can overflow the sum.
int64_t stateWord(Fract32 w)
{
    constexpr Fract32 kLimit = INT32_MAX >> 3;
    return w < -kLimit - 1 ? -kLimit - 1 : (w > kLimit ? kLimit : w);
}

// One section of the cascade: out = (b0 x' + b1 x1 + b2 x2 - a1 y1 - a2 y2) >> (28 - postShift) with x' = x >> 3,
// the full 64-bit products summed exactly, the result saturated to 32 bits; y1 takes out >> 3.
void cascadeSection(const Fract32 *src, ptrdiff_t srcInc, Fract32 *dst, ptrdiff_t dstInc, const Fract32 *coeffs,
                    Fract32 *state, int32_t postShift, int32_t n)
{
    const KveBiquadSectionFract32 c = kve_biquadSectionFract32(coeffs);
    const int64_t shift = int64_t{postShift} - 28;
    int64_t x1 = stateWord(state[0]);
    int64_t x2 = stateWord(state[1]);
    int64_t y1 = stateWord(state[2]);
    int64_t y2 = stateWord(state[3]);
    for (int32_t i = 0; i < n; ++i) {
        const int64_t x = src[i * srcInc] >> 3;
        const int64_t sum = c.b0 * x + c.b1 * x1 + c.b2 * x2 + c.na1 * y1 + c.na2 * y2;
        const auto out = static_cast<Fract32>(kve_shiftSaturate(sum, shift, INT32_MIN, INT32_MAX));
        dst[i * dstInc] = out;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = out >> 3;
    }
    state[0] = static_cast<Fract32>(x1);
    state[1] = static_cast<Fract32>(x2);
    state[2] = static_cast<Fract32>(y1);
    state[3] = static_cast<Fract32>(y2);
}

} // namespace

// numStages sections of Q4.28 state in turn: section 0 reads src, each later one reads and rewrites dst, so the
// whole block passes a section before the next starts.
extern "C" void kve_vecBiquadCascadeFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                            const Fract32 *coeffs, Fract32 *state, const int32_t *postShifts,
                                            int32_t n, int32_t numStages)
{
    if (n < 1) {
        return;
    }
    for (int32_t k = 0; k < numStages; ++k) {
        const Fract32 *in = k == 0 ? src : dst;
        const int32_t inInc = k == 0 ? srcInc : dstInc;
        cascadeSection(in, inInc, dst, dstInc, coeffs + 5 * k, state + 4 * k, postShifts[k], n);
    }
}

// The same cascade on contiguous vectors.
extern "C" void kve_vecBiquadCascadeFract32_single(const Fract32 *src, Fract32 *dst, const Fract32 *coeffs,
                                                   Fract32 *state, const int32_t *postShifts, int32_t n,
                                                   int32_t numStages)
{
    kve_vecBiquadCascadeFract32(src, 1, dst, 1, coeffs, state, postShifts, n, numStages);
}
