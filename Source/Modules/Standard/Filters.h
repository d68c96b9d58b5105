// Class records of the float biquad, FIR and Butterworth filter modules, and the instance records that other modules
// reach into when they build one of these classes as an inner module.
#pragma once

#include "Modules/Standard/Scalers.h"

extern "C" {
extern const kve::kit::ClassRecord<14> kve_modBiquadSmoothedClass;
}

namespace kve::filters {

// BiquadSmoothed: `b0`..`a2` are the targets the current coefficients glide toward once per block.
struct BiquadSmoothedModule {
    ClassModule header;
    int32_t updateActive;
    float smoothingTime;
    float b0, b1, b2, a1, a2;
    float currentB0, currentB1, currentB2, currentA1, currentA2;
    float smoothingCoeff;
    float *state;
};

} // namespace kve::filters
