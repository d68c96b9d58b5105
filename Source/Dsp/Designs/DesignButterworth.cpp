#include <cmath>
#include <cstddef>

#include "Dsp/Designs/ButterworthTables.h"
#include "Dsp/LongDouble.h"
#include "kve/kve_design.h"

namespace {

// Cutoffs are held to [1e-4, 0.4999] x the rate, where every order's poles stay inside the unit circle in float.
constexpr float kLowestCutoff = 1e-4f;
constexpr float kHighestCutoff = 0.4999f;

// The cutoff and rate the design is made at: the cutoff held to the band above, a NaN cutoff at its lower limit. A
// rate that is not positive and finite has no band; the design is then made at the lower limit of a rate of 1.
struct Corner {
    float freq;
    float sampleRate;
};

Corner cornerOf(float freq, float sampleRate)
{
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0f)) {
        return {kLowestCutoff, 1.0f};
    }
    const float lowest = kLowestCutoff * sampleRate;
    const float highest = kHighestCutoff * sampleRate;
    return {!(freq >= lowest) ? lowest : freq > highest ? highest : freq, sampleRate};
}

} // namespace

// Butterworth lowpass (kind 0), highpass (kind 1) or allpass (any other kind) of order 1 to 10 with its cutoff at
// freq: the prototype of that order, designed for fs/8, moved to the cutoff by the substitution
// z^-1 -> (z^-1 - a) / (1 - a z^-1), which maps the unit circle onto itself and so keeps the prototype's shape.
// The arithmetic is in quad precision and each coefficient is rounded to float once, so low cutoffs, whose poles
// crowd towards z = 1, lose nothing before that rounding. A cutoff outside the band that keeps the sections stable
// in single precision is designed at the nearest cutoff inside it (see cornerOf), so every design is finite and
// stable. Orders above 10 have no prototype: their sections pass the signal through, so a cascade sized for the
// order still runs. Orders below 1 have no sections.
extern "C" void design_butterworth(int32_t order, int32_t kind, float *coeffs, float freq, float sampleRate)
{
    const ptrdiff_t sections = order > 0 ? order / 2 + order % 2 : 0;
    if (order > 10) {
        for (ptrdiff_t i = 0; i < 5 * sections; ++i)
            coeffs[i] = i % 5 == 0 ? 1.0f : 0.0f;
        return;
    }
    if (sections == 0)
        return;

    const LongDouble *const *table = kind == 0 ? butter_lpf_coeffs : kind == 1 ? butter_hpf_coeffs : butter_apf_coeffs;
    const LongDouble *prototype = table[order - 1];

    const Corner corner = cornerOf(freq, sampleRate);
    const LongDouble quarterPi = 0.785398163397448; // the prototypes' cutoff, pi/4
    const LongDouble w =
        static_cast<LongDouble>(corner.freq) * 6.283185307179586 / static_cast<LongDouble>(corner.sampleRate);
    const LongDouble a = static_cast<LongDouble>(std::sin(static_cast<double>((quarterPi - w) / 2))) /
                         static_cast<LongDouble>(std::sin(static_cast<double>((quarterPi + w) / 2)));
    const LongDouble aa = a * a;

    for (ptrdiff_t s = 0; s < sections; ++s) {
        const LongDouble *p = prototype + 5 * s;
        const LongDouble b0 = p[0], b1 = p[1], b2 = p[2], a1 = p[3], a2 = p[4];
        LongDouble num0, num1, num2, den0, den1, den2;
        if (b2 == 0 && a2 == 0) {
            num0 = b0 - a * b1;
            num1 = b1 - a * b0;
            num2 = 0;
            den0 = 1 - a * a1;
            den1 = a1 - a;
            den2 = 0;
        } else {
            num0 = b0 - a * b1 + aa * b2;
            num1 = b1 * (1 + aa) - 2 * a * b0 - 2 * a * b2;
            num2 = aa * b0 - a * b1 + b2;
            den0 = 1 - a * a1 + aa * a2;
            den1 = a1 * (1 + aa) - 2 * a - 2 * a * a2;
            den2 = aa - a * a1 + a2;
        }
        float *out = coeffs + 5 * s;
        out[0] = static_cast<float>(num0 / den0);
        out[1] = static_cast<float>(num1 / den0);
        out[2] = static_cast<float>(num2 / den0);
        out[3] = static_cast<float>(den1 / den0);
        out[4] = static_cast<float>(den2 / den0);
    }
}
