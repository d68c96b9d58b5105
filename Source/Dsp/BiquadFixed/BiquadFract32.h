// What the fixed-point biquad kernels share: the section's coefficients with the feedback negated, the shift of a
// wide accumulator, and the direct-form-I sample loop with its state record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_types.h"

// One section as the kernels use it: the feedback coefficients negated once per call, so every term is added.
struct KveBiquadSectionFract32 {
    Fract32 b0, b1, b2, na1, na2;
    bool firstOrder; // a2 = 0 and b2 = 0 as stored: the x[n-2] and y[n-2] terms vanish
};

// The negation saturates: -1.0 has no positive counterpart, and a wrapped one would feed back with the wrong sign.
static inline KveBiquadSectionFract32 kve_biquadSectionFract32(const Fract32 *coeffs)
{
    return {coeffs[0],
            coeffs[1],
            coeffs[2],
            kve_subFract32(0, coeffs[3]),
            kve_subFract32(0, coeffs[4]),
            coeffs[2] == 0 && coeffs[4] == 0};
}

// v x 2^shift held within lo..hi: a right shift is arithmetic (rounds toward minus infinity), a left shift
// saturates to the limits by the value's sign. Counts beyond the word act as the exact scaling would: right, the
// value becomes 0 or -1; left, any nonzero value saturates and zero stays zero.
static inline int64_t kve_shiftSaturate(int64_t v, int64_t shift, int64_t lo, int64_t hi)
{
    int64_t scaled;
    if (shift <= 0) {
        scaled = v >> (shift < -63 ? 63 : -shift);
    } else if (shift > 62 || __builtin_mul_overflow(v, int64_t{1} << shift, &scaled)) {
        return v == 0 ? 0 : (v > 0 ? hi : lo);
    }
    if (scaled < lo) {
        return lo;
    }
    if (scaled > hi) {
        return hi;
    }
    return scaled;
}

// The feed-forward terms of the datapath models are scaled by 2^postShiftB, applied as 2^(postShiftB - postShiftA)
// before the feedback terms join and 2^postShiftA on the whole sum; counts are 16-bit, and so is their difference.
static inline int32_t kve_shiftCount16(int32_t postShift) { return static_cast<int16_t>(postShift); }

static inline int32_t kve_feedForwardShift(int32_t postShiftB, int32_t postShiftA)
{
    return static_cast<int16_t>(kve_shiftCount16(postShiftB) - kve_shiftCount16(postShiftA));
}

// One direct-form-I section over n samples whose y state words hold the output samples: y = step(x, x1, x2, y1, y2)
// per sample, the state x[n-1], x[n-2], y[n-1], y[n-2] read at entry and written back at exit. A first-order
// section leaves x[n-2] = x[n-1] and y[n-2] = y[n-1], also after a call of no samples, so a later switch to
// second-order coefficients starts from those copies. A first-order section needs no arithmetic of its own: its
// x[n-2] and y[n-2] terms are products with zero, which leave every accumulator of these datapaths unchanged.
template <typename Step>
static inline void kve_biquadDF1Fract32(const Fract32 *src, ptrdiff_t srcInc, Fract32 *dst, ptrdiff_t dstInc,
                                        bool firstOrder, Fract32 *state, int32_t n, Step step)
{
    if (n < 1 && !firstOrder) {
        return;
    }
    Fract32 x1 = state[0];
    Fract32 x2 = state[1];
    Fract32 y1 = state[2];
    Fract32 y2 = state[3];
    for (int32_t i = 0; i < n; ++i) {
        const Fract32 x = src[i * srcInc];
        const Fract32 y = step(x, x1, x2, y1, y2);
        dst[i * dstInc] = y;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
    }
    if (firstOrder) {
        x2 = x1;
        y2 = y1;
    }
    state[0] = x1;
    state[1] = x2;
    state[2] = y1;
    state[3] = y2;
}
