#include <cmath>

#include "Dsp/Designs/DesignFloat.h"
#include "kve/kve_design.h"

// Peaking filter of the cookbook: gain A^2 = 10^(gainDb / 20) at freq and 1 far from it, with A = 10^(gainDb / 40)
// moving the zeros' and poles' damping apart by the same factor (1 + alpha A, -2c, 1 - alpha A over 1 + alpha / A,
// -2c, 1 - alpha / A), so that a cut is the inverse of the boost of the same size.
extern "C" void design_peak_RBJ(float *coeffs, float Q, float freq, float gainDb, float sampleRate)
{
    const float w = kve_designAngle(freq, sampleRate);
    const float s = std::sin(w), c = std::cos(w);
    const float alpha = kve_designAlpha(Q, w, s);
    const float A = std::pow(10.0f, gainDb * 0.025f);
    kve_designNormalised(coeffs, 1.0f + alpha * A, -2.0f * c, 1.0f - alpha * A, 1.0f + alpha / A, -2.0f * c,
                         1.0f - alpha / A);
}
