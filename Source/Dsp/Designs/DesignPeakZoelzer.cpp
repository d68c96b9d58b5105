#include <cmath>

#include "Dsp/Designs/DesignFloat.h"
#include "kve/kve_design.h"

// Peaking filter from the analog prototype (s^2 + V s / Q + 1) / (s^2 + s / Q + 1) through the bilinear transform
// with the centre prewarped, K = tan(pi freq / sampleRate), V = 10^(|gainDb| / 20). A boost has this form; a cut is
// its exact inverse (numerator and denominator swapped), so a cut undoes the boost of the same size. A Q that is not
// positive is the lowest Q.
extern "C" void design_peak_Zoelzer(float *coeffs, float Q, float freq, float gainDb, float sampleRate)
{
    const float K = std::tan(3.1415927f * freq / sampleRate);
    const float V = std::exp(std::fabs(gainDb) * 0.115129255f);
    const float KoverQ = K / (Q > 0.0f ? Q : kve_kLowestQ);
    const float KK = K * K;
    const float plain0 = 1.0f + KoverQ + KK, plain2 = 1.0f - KoverQ + KK;     // the prototype's s^2 + s / Q + 1
    const float lifted0 = 1.0f + V * KoverQ + KK, lifted2 = 1.0f - V * KoverQ + KK; // its s^2 + V s / Q + 1
    const float middle = 2.0f * (KK - 1.0f);
    if (gainDb >= 0.0f)
        kve_designNormalised(coeffs, lifted0, middle, lifted2, plain0, middle, plain2);
    else
        kve_designNormalised(coeffs, plain0, middle, plain2, lifted0, middle, lifted2);
}
