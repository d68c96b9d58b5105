#include <cmath>

#include "Dsp/Designs/DesignFloat.h"
#include "kve/kve_design.h"

// Bandpass of 0 dB peak gain at freq (the cookbook's constant-peak form): alpha, 0, -alpha over 1 + alpha, -2c,
// 1 - alpha, with alpha from Q or from a bandwidth in octaves.
extern "C" void design_bandpass_RBJ(float *coeffs, float Q, float freq, float sampleRate)
{
    const float w = kve_designAngle(freq, sampleRate);
    const float s = std::sin(w), c = std::cos(w);
    const float alpha = kve_designAlpha(Q, w, s);
    kve_designNormalised(coeffs, alpha, 0.0f, -alpha, 1.0f + alpha, -2.0f * c, 1.0f - alpha);
}
