#include <cmath>

#include "Dsp/Designs/DesignFloat.h"
#include "kve/kve_design.h"

// Second-order shelf with a Butterworth corner (the analog prototypes (s^2 + sqrt(2V) s + V) / (s^2 + sqrt(2) s + 1)
// for the low shelf and (V s^2 + sqrt(2V) s + 1) / (s^2 + sqrt(2) s + 1) for the high shelf) through the bilinear
// transform with the corner prewarped, K = tan(pi freq / sampleRate), V = 10^(|gainDb| / 20). A boost has this form;
// a cut is its exact inverse, so a cut undoes the boost of the same size. Kind 0 is the high shelf.
extern "C" void design_shelf(int32_t kind, float *coeffs, float freq, float gainDb, float sampleRate)
{
    const float K = std::tan(3.1415927f * freq / sampleRate);
    const float V = std::exp(std::fabs(gainDb) * 0.115129255f);
    const float KK = K * K;
    const float root2K = std::sqrt(2.0f) * K;
    const float root2VK = std::sqrt(2.0f * V) * K;
    // Numerator and denominator polynomials in z^-1 of the boost, before division by the denominator's first one.
    float num[3], den[3] = {1.0f + root2K + KK, 2.0f * (KK - 1.0f), 1.0f - root2K + KK};
    if (kind != 0) {
        num[0] = 1.0f + root2VK + V * KK;
        num[1] = 2.0f * (V * KK - 1.0f);
        num[2] = 1.0f - root2VK + V * KK;
    } else {
        num[0] = V + root2VK + KK;
        num[1] = 2.0f * (KK - V);
        num[2] = V - root2VK + KK;
    }
    const float *b = gainDb >= 0.0f ? num : den;
    const float *a = gainDb >= 0.0f ? den : num;
    kve_designNormalised(coeffs, b[0], b[1], b[2], a[0], a[1], a[2]);
}
