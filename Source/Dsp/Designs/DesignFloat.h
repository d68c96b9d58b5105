// Shared steps of the single-precision biquad designs: the angle, the bandwidth term alpha of the cookbook forms and
// the normalisation by a0. Everything is float, with 2 pi and ln 2 / 2 as float constants.
#pragma once

#include <cmath>

// The Q that stands in for 0 wherever a form divides by Q: the lowest Q, as in the numbered second-order designs.
constexpr float kve_kLowestQ = 1e-10f;

// The largest alpha a design uses. A band of a fixed number of octaves asks for an ever larger alpha as its centre
// nears the Nyquist frequency (w / sin w grows without bound) until sinh overflows; the coefficients, which tend to
// limits as alpha grows, have long reached them in float at 2^64, and alpha times any sensible shelf or peak gain
// stays finite.
constexpr float kve_kWidestAlpha = 0x1p64f;

// w = 2 pi freq / sampleRate.
static inline float kve_designAngle(float freq, float sampleRate)
{
    return freq * 6.2831855f / sampleRate;
}

// Alpha of the bandpass, notch and peaking forms from s = sin w: Q > 0 is the quality factor, alpha = s / (2 Q); Q = 0
// the lowest Q; Q < 0 (and NaN) a bandwidth of -Q octaves, alpha = s sinh(ln 2 / 2 x -Q x w / s), which tends to 0
// at 0 Hz, where the band has no width.
static inline float kve_designAlpha(float Q, float w, float s)
{
    float alpha;
    if (Q > 0.0f)
        alpha = s / (2.0f * Q);
    else if (Q == 0.0f)
        alpha = s / (2.0f * kve_kLowestQ);
    else if (s == 0.0f)
        return 0.0f;
    else
        alpha = s * std::sinh(0.3465736f * -Q * w / s);
    return alpha > kve_kWidestAlpha ? kve_kWidestAlpha : alpha;
}

// Alpha of the cookbook shelves from s = sin w and A = 10^(gainDb / 40): Q > 0 is the quality factor and Q = 0 the
// lowest Q, as above; Q < 0 is the shelf slope S = -Q, alpha = s / 2 x sqrt((A + 1 / A)(1 / S - 1) + 2), where S = 1
// is the steepest slope whose response still rises or falls monotonically.
static inline float kve_designShelfAlpha(float Q, float s, float A)
{
    if (Q > 0.0f)
        return s / (2.0f * Q);
    if (Q == 0.0f)
        return s / (2.0f * kve_kLowestQ);
    return s / 2.0f * std::sqrt((A + 1.0f / A) * (1.0f / -Q - 1.0f) + 2.0f);
}

// Writes b0, b1, b2, a1, a2 divided by a0.
static inline void kve_designNormalised(float *coeffs, float b0, float b1, float b2, float a0, float a1, float a2)
{
    coeffs[0] = b0 / a0;
    coeffs[1] = b1 / a0;
    coeffs[2] = b2 / a0;
    coeffs[3] = a1 / a0;
    coeffs[4] = a2 / a0;
}
