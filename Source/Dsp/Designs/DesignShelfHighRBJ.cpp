#include <cmath>

#include "Dsp/Designs/DesignFloat.h"
#include "kve/kve_design.h"

// High shelf of the cookbook: gain A^2 = 10^(gainDb / 20) above freq, 1 below it and A (half the decibels) at freq,
// with the corner's shape from Q or from the shelf slope.
extern "C" void design_shelf_high_RBJ(float *coeffs, float Q, float freq, float gainDb, float sampleRate)
{
    const float w = kve_designAngle(freq, sampleRate);
    const float s = std::sin(w), c = std::cos(w);
    const float A = std::pow(10.0f, gainDb * 0.025f);
    const float lift = 2.0f * std::sqrt(A) * kve_designShelfAlpha(Q, s, A);
    kve_designNormalised(coeffs, A * ((A + 1.0f) + (A - 1.0f) * c + lift), -2.0f * A * ((A - 1.0f) + (A + 1.0f) * c),
                         A * ((A + 1.0f) + (A - 1.0f) * c - lift), (A + 1.0f) - (A - 1.0f) * c + lift,
                         2.0f * ((A - 1.0f) - (A + 1.0f) * c), (A + 1.0f) - (A - 1.0f) * c - lift);
}
