#include <cmath>

#include "Dsp/Designs/DesignFloat.h"
#include "kve/kve_design.h"

// Notch at freq: zeros on the unit circle there (1, -2c, 1), poles 1 + alpha, -2c, 1 - alpha setting the width, with
// alpha from Q or from a bandwidth in octaves.
extern "C" void design_notch_RBJ(float *coeffs, float Q, float freq, float sampleRate)
{
    const float w = kve_designAngle(freq, sampleRate);
    const float s = std::sin(w), c = std::cos(w);
    const float alpha = kve_designAlpha(Q, w, s);
    kve_designNormalised(coeffs, 1.0f, -2.0f * c, 1.0f, 1.0f + alpha, -2.0f * c, 1.0f - alpha);
}
