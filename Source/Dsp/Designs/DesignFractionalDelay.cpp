#include <cmath>

#include "Dsp/Designs/FractionalDelayTable.h"
#include "kve/kve_design.h"

// The 42-tap filter that delays by 20 + fraction samples, for the fixed-point fractional delay module, which puts
// the whole samples of its delay (less 20) in a delay line before this filter. The table holds interpolators 1/32 of
// a sample apart; the filter between them is the cubic Lagrange interpolation of the four rows around the fraction
// (nodes -1, 0, 1, 2 at position t from the second row). A fraction outside [0, 1) or not a number is clamped into
// it: the table has rows for that range only.
extern "C" void design_fractionaldelay(float *taps, float fraction)
{
    constexpr int kStepsPerSample = 32;
    constexpr float kBelowOne = 0x1.fffffep-1f;
    const float d = fraction >= 0.0f ? (fraction < 1.0f ? fraction : kBelowOne) : 0.0f;

    const float x = static_cast<float>(kStepsPerSample) * d;
    const int k = static_cast<int>(x);
    const float t = x - std::floor(x);
    const float sixth = 0.16666667f;
    const float w0 = t * ((3.0f - t) * t - 2.0f) * sixth;
    const float w1 = (((3.0f * t - 6.0f) * t - 3.0f) * t + 6.0f) * sixth;
    const float w2 = t * ((-3.0f * t + 3.0f) * t + 6.0f) * sixth;
    const float w3 = t * (t * t - 1.0f) * sixth;

    const float *r0 = fractional_delay_coeffs[k];
    const float *r1 = fractional_delay_coeffs[k + 1];
    const float *r2 = fractional_delay_coeffs[k + 2];
    const float *r3 = fractional_delay_coeffs[k + 3];
    for (int j = 0; j < 42; ++j)
        taps[j] = std::fma(w1, r1[j], r0[j] * w0) + std::fma(w3, r3[j], r2[j] * w2);
}
