// SOFControlFract32: the control-steered parametric section in Q1.31. Set keeps the float design in `coeffs` and
// converts it, scaled by 2^-postShift, into the target words the running words glide toward; the kernel restores the
// scale with `postShift`.
#include <algorithm>
#include <cmath>

#include "Modules/Advanced/ControlledFilters.h"
#include "Modules/Standard/FiltersFract32.h"
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::controlled;
using namespace kve::filters;
using namespace kve::kit;

struct SOFControlFract32Module {
    ClassModule header;
    int32_t filterType;
    float freq;
    float gain;
    float Q;
    float smoothingTime;
    int32_t postShift;
    float coefScale;
    int32_t updateActive;
    Fract32 smoothingCoeff;
    int32_t controlMask;
    float *coeffs;
    Fract32 *targetCoeffs;
    Fract32 *currentCoeffs;
    Fract32 *state;
};

constexpr std::array<Variable, 14> kVariables = {
    KVE_VARIABLE(SOFControlFract32Module, filterType, Int),
    KVE_VARIABLE(SOFControlFract32Module, freq, Float),
    KVE_VARIABLE(SOFControlFract32Module, gain, Float),
    KVE_VARIABLE(SOFControlFract32Module, Q, Float),
    KVE_VARIABLE(SOFControlFract32Module, smoothingTime, Float),
    KVE_VARIABLE(SOFControlFract32Module, postShift, Int),
    KVE_VARIABLE(SOFControlFract32Module, coefScale, Float),
    KVE_VARIABLE(SOFControlFract32Module, updateActive, Int),
    KVE_VARIABLE(SOFControlFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(SOFControlFract32Module, controlMask, Int),
    KVE_ARRAY(SOFControlFract32Module, coeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(SOFControlFract32Module, targetCoeffs, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(SOFControlFract32Module, currentCoeffs, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(SOFControlFract32Module, state, Fract32Array, perChannelOfWire(0, 4)),
};

constexpr uint32_t kStateArray = 3;

void sofControlFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SOFControlFract32Module *>(m);
    followControls(m, s->controlMask, controlsOf(s));
    if (s->updateActive != 0)
        kve::tone::glideFract32(s->currentCoeffs, s->targetCoeffs, s->smoothingCoeff, kSectionWords);
    runSection(audioInput(m), output(m), s->currentCoeffs, s->state, capacity(m, kStateArray), s->postShift);
}

int32_t sofControlFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SOFControlFract32Module *>(m);
    s->smoothingCoeff = kve_rounded(designSection(m, s, s->coeffs));
    // Any shift beyond the float exponent range scales every coefficient to 0 or to saturation alike.
    s->coefScale = std::ldexp(1.0f, -std::clamp(s->postShift, -255, 255));
    kve::tone::toTargets(s->coeffs, s->coefScale, s->targetCoeffs, kSectionWords);
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<14> kve_modSOFControlFract32Class = makeClass<14>(
    0xBEEF0D38u,
    {secondOrderConstructor<&kve_modSOFControlFract32Class, &kVariables, 9, 4>, sofControlFract32Process,
     bypassLastInput, sofControlFract32Set},
    kVariables);
