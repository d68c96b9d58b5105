// Class records of the high-precision biquad modules (state-space sections with coefficient glides, the sparse
// per-channel biquads and the graphic-equaliser bands), the instance records that composites reach into when they
// build one as an inner module, and the helpers the family shares.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Modules/Standard/Filters.h"
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<4> kve_modBiquadCascadeHPClass;
extern const kve::kit::ClassRecord<7> kve_modBiquadSmoothedHPClass;
extern const kve::kit::ClassRecord<10> kve_modSecondOrderFilterHPClass;
extern const kve::kit::ClassRecord<11> kve_modSOFCascadeHPClass;
extern const kve::kit::ClassRecord<12> kve_modBiquadSparseClass;
extern const kve::kit::ClassRecord<10> kve_modGraphicEQBandHPClass;
extern const kve::kit::ClassRecord<13> kve_modGraphicEQBandHpFract32Class;
}

namespace kve::hp {

constexpr uint32_t kBiquadCascadeHPClassId = 0xBEEF0CC1u;
constexpr uint32_t kBiquadSmoothedHPClassId = 0xBEEF0CC4u;

// BiquadCascadeHP: the host (or a composite) writes direct-form `coeffs`; Set derives `ssCoeffs`, which Process
// runs. `state` is stage-major: stage s, channel c at (s x channels + c) x 2.
struct BiquadCascadeHPModule {
    ClassModule header;
    int32_t numStages;
    float *coeffs;
    float *ssCoeffs;
    float *state;
};

// BiquadSmoothedHP: one section whose state-space set in use glides toward the set derived from `coeffs`.
struct BiquadSmoothedHPModule {
    ClassModule header;
    int32_t updateActive;
    float smoothingTime; // ms
    float smoothingCoeff;
    float *coeffs;
    float *targetCoeffs;
    float *currentCoeffs;
    float *state;
};

// Refuses a negative stage count given at construction (-67) before anything is built; true when building may go on.
inline bool stagesArgumentValid(int32_t *status, uint32_t argc, const uint32_t *args, uint32_t publicCount,
                                uint32_t index)
{
    if (*status != KVE_OK)
        return false;
    if (filters::sizeArgument(argc, args, publicCount, index) < 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return false;
    }
    return true;
}

// Sections run one after another with stage-major state (stage s, channel c at (s x channels + c) x 2): stage 0 from
// `in` to `out`, every later stage in place on `out`. When `glide` is set, each stage's set in use (`current`) first
// takes one smoothing step toward `target`.
void runStateSpaceStages(const GenericWire *in, GenericWire *out, float *current, const float *target, bool glide,
                         float smoothingCoeff, float *state, uint32_t stages, uint32_t stateCapacity);

// One section per block on the first channels of `in` with stage 0's state-space set in `current`, gliding first
// while `updateActive` is set (the single-section classes).
inline void runSmoothedSection(const GenericWire *in, GenericWire *out, float *current, const float *target,
                               int32_t updateActive, float smoothingCoeff, float *state, uint32_t stateCapacity)
{
    runStateSpaceStages(in, out, current, target, updateActive != 0, smoothingCoeff, state, 1, stateCapacity);
}

// The state-space sets of `count` direct-form sets, in place or into `ss`.
inline void toStateSpace(const float *direct, float *ss, uint32_t count)
{
    for (uint32_t k = 0; k < count; ++k)
        design_sos2ss(direct + filters::kSectionWords * k, ss + filters::kSectionWords * k);
}

} // namespace kve::hp
