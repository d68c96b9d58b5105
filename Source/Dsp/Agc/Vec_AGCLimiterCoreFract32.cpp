#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// Limiter gain computer in fixed point. The envelope follows the level signal as it comes:
// env = sat(env + sat(c x - c env)), Fract32 products, with c the attack coefficient while x is above the envelope
// and the release coefficient otherwise. Its level in dB (Q8.24) is compared with the threshold; the excess,
// normalised by kneeRecip = 1 / kneeDepth (Q8.24), passes through the knee (the excess itself above the knee, 0
// below it, (x + 1)^2 / 4 inside), is scaled by slope and kneeDepth and taken from gainOffset, and the dB gain is
// made linear (Q8.24).
//
// A kneeRecip of 2.0 or more (knees of 0.5 dB or less) is cut to six redundant sign bits, s bits fewer, so that the
// normalised excess u and the knee half-width K = 1.0 / 2^s are in a format with s more integer bits; the knee
// curve is moved to that format too, so it meets the line above the knee, and the final dB value is shifted back
// by s. Every left shift saturates: with a knee under 1 dB, u far below the threshold passes the 32-bit range, and
// it stays on the quiet side instead of wrapping into a cut.
//
// A kneeDepth of 0 (the module's hard knee) takes gainOffset - slope x excess above the threshold and gainOffset
// below it, so the limiter limits where scaling by the knee's depth would zero every excess.
namespace {

constexpr Fract32 kOneQ24 = 0x1000000;

struct KneeScale {
    Fract32 mantissa;
    int32_t s;
};

KneeScale normaliseKneeRecip(Fract32 kneeRecip)
{
    const int32_t h = __builtin_clrsb(kneeRecip);
    const int32_t s = h <= 6 ? 6 - h : 0;
    return {kneeRecip >> s, s};
}

Fract32 kneeGainDb(Fract32 excess, Fract32 slope, Fract32 gainOffset, Fract32 kneeDepth, KneeScale scale)
{
    const Fract32 halfWidth = kOneQ24 >> scale.s;
    const Fract32 u = kve_shiftProductFract32(kve_mulFract32(scale.mantissa, excess), 7);
    Fract32 w = 0;
    if (u > halfWidth) {
        w = kve_mulFract32(u, slope);
    } else if (u >= -halfWidth) {
        const Fract32 t = halfWidth + u;
        w = kve_mulFract32(kve_shiftProductFract32(kve_mulFract32(t, t), 5 + scale.s), slope);
    }
    const Fract32 z = kve_shiftProductFract32(kve_mulFract32(w, kneeDepth), 7 + scale.s);
    return kve_subFract32(gainOffset, z);
}

Fract32 hardKneeGainDb(Fract32 excess, Fract32 slope, Fract32 gainOffset)
{
    return excess > 0 ? kve_subFract32(gainOffset, kve_mulFract32(excess, slope)) : gainOffset;
}

} // namespace

extern "C" void kve_vecAGCLimiterCoreFract32(const Fract32 *src, Fract32 *dst, Fract32 *envState, Fract32 attackCoeff,
                                             Fract32 releaseCoeff, Fract32 threshold, Fract32 slope,
                                             Fract32 gainOffset, Fract32 kneeDepth, Fract32 kneeRecip, int32_t n)
{
    if (n < 1) {
        return;
    }
    Fract32 env = *envState;
    for (int32_t i = 0; i < n; ++i) {
        const Fract32 x = src[i];
        const Fract32 c = x > env ? attackCoeff : releaseCoeff;
        env = kve_addFract32(env, kve_subFract32(kve_mulFract32(c, x), kve_mulFract32(c, env)));
        dst[i] = env;
    }
    *envState = env;

    kve_vecLinearToDBFract32(dst, dst, n, 1, 8);
    const KneeScale scale = normaliseKneeRecip(kneeRecip);
    for (int32_t i = 0; i < n; ++i) {
        const Fract32 excess = kve_subFract32(dst[i], threshold);
        dst[i] = kneeDepth == 0 ? hardKneeGainDb(excess, slope, gainOffset)
                                : kneeGainDb(excess, slope, gainOffset, kneeDepth, scale);
    }
    kve_vecDBToLinearFract32(dst, dst, n);
}
