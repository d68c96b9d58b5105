// Class records of the Fract32 biquad, FIR and Butterworth filter modules, and the instance records that other
// modules reach into when they build one of these classes as an inner module.
#pragma once

#include "Modules/Standard/ScalersFract32.h"

extern "C" {
extern const kve::kit::ClassRecord<9> kve_modBiquadSmoothedFract32Class;
}

namespace kve::filters {

// BiquadSmoothedFract32: `coeffs` holds the float design (b0, b1, b2, a1, a2); Set converts it into the target words
// the current words glide toward.
struct BiquadSmoothedFract32Module {
    ClassModule header;
    int32_t updateActive;
    float smoothingTime;
    int32_t smoothingCoeffFract32;
    int32_t postShift;
    int32_t pendingPostShift;
    float *coeffs;
    int32_t *targetCoeffsFract32;
    int32_t *currentCoeffsFract32;
    int32_t *state;
};

} // namespace kve::filters
