#include <cmath>

#include "Dsp/Designs/DesignFloat.h"
#include "kve/kve_design.h"

// Allpass section, unity gain at every frequency. Order 1: the first-order section (p + z^-1) / (1 + p z^-1) with
// p = (K - 1) / (K + 1), K = tan(w / 2), whose phase passes -90 degrees at freq. Any other order: the second-order
// allpass (1 - alpha, -2c, 1 + alpha over 1 + alpha, -2c, 1 - alpha) whose phase passes -180 degrees at freq, with
// alpha = sin w / (2 Q); its last numerator coefficient is 1 exactly. A Q that is not positive is the lowest Q.
extern "C" void design_allpass(int32_t order, float *coeffs, float sampleRate, float freq, float Q)
{
    const float w = kve_designAngle(freq, sampleRate);
    if (order == 1) {
        const float K = std::tan(w / 2.0f);
        const float p = (K - 1.0f) / (K + 1.0f);
        coeffs[0] = p;
        coeffs[1] = 1.0f;
        coeffs[2] = 0.0f;
        coeffs[3] = p;
        coeffs[4] = 0.0f;
        return;
    }
    const float alpha = std::sin(w) / (2.0f * (Q > 0.0f ? Q : kve_kLowestQ));
    const float c = std::cos(w);
    kve_designNormalised(coeffs, 1.0f - alpha, -2.0f * c, 1.0f + alpha, 1.0f + alpha, -2.0f * c, 1.0f - alpha);
    coeffs[2] = 1.0f;
}
