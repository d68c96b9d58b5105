#include <cfloat>
#include <cmath>

#include "kve/kve_design.h"

// Emphasis filters of time constant tau, as broadcast and recording chains use them: the de-emphasis is the one-pole
// lowpass g / (1 - p z^-1) with p = exp(-1 / (tau fs)) and g = 1 - p (unity gain at DC); the pre-emphasis is its
// inverse, the FIR (1 - p z^-1) / g, so the two in a row pass the signal through. A time constant that is not
// positive, or a rate that leaves no finite step 1 / (tau fs), means no emphasis: the pass-through section, which is
// also the limit of both filters as tau shrinks to 0.
extern "C" void design_emphasis_filter(int32_t kind, float *coeffs, float timeConstantUs, float sampleRate)
{
    const float k = (1.0f / (timeConstantUs * 1e-6f)) * (1.0f / sampleRate);
    float p = 0.0f, g = 1.0f;
    if (k > 0.0f && k <= FLT_MAX) {
        p = std::exp(-k);
        g = ((1.0f - p) / k) * k;
    }
    if (kind == 0) {
        coeffs[0] = g;
        coeffs[1] = 0.0f;
        coeffs[3] = -p;
    } else {
        coeffs[0] = 1.0f / g;
        coeffs[1] = -p / g;
        coeffs[3] = 0.0f;
    }
    coeffs[2] = 0.0f;
    coeffs[4] = 0.0f;
}
