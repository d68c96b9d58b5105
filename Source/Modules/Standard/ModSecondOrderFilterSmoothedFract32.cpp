// SecondOrderFilterSmoothedFract32: one parametric section on every channel in Q1.31. Set keeps the float design
// in `coeffs` and converts it, scaled by `coeffScale`, into the target words; the running words glide toward them
// once per block, and the kernel restores the scale with `postShift`.
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::filters;
using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::tone;

struct SecondOrderFilterSmoothedFract32Module {
    ClassModule header;
    int32_t filterType;
    float freq;
    float gain;
    float Q;
    float smoothingTime;
    int32_t updateActive;
    Fract32 smoothingCoeffFract32;
    int32_t postShift;
    float coeffScale;
    float *coeffs;
    Fract32 *currentCoeffsFract32;
    Fract32 *targetCoeffsFract32;
    Fract32 *state;
};

// Array ordinal of state (four words per channel).
constexpr uint32_t kStateArray = 3;

constexpr std::array<Variable, 13> kVariables = {
    KVE_VARIABLE(SecondOrderFilterSmoothedFract32Module, filterType, Int),
    KVE_VARIABLE(SecondOrderFilterSmoothedFract32Module, freq, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedFract32Module, gain, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedFract32Module, Q, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedFract32Module, updateActive, Int),
    KVE_VARIABLE(SecondOrderFilterSmoothedFract32Module, smoothingCoeffFract32, Fract32),
    KVE_VARIABLE(SecondOrderFilterSmoothedFract32Module, postShift, Int),
    KVE_VARIABLE(SecondOrderFilterSmoothedFract32Module, coeffScale, Float),
    KVE_ARRAY(SecondOrderFilterSmoothedFract32Module, coeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(SecondOrderFilterSmoothedFract32Module, currentCoeffsFract32, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(SecondOrderFilterSmoothedFract32Module, targetCoeffsFract32, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(SecondOrderFilterSmoothedFract32Module, state, Fract32Array, perChannelOfWire(0, 4)),
};

ClassModule *secondOrderFilterSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                         uint32_t argc, const uint32_t *args)
{
    return construct(kve_modSecondOrderFilterSmoothedFract32Class, kVariables, 1, 1, status, wireWord, wires, argc,
                     args);
}

void secondOrderFilterSmoothedFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SecondOrderFilterSmoothedFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    if (s->updateActive != 0)
        glideFract32(s->currentCoeffsFract32, s->targetCoeffsFract32, s->smoothingCoeffFract32, kSectionWords);
    biquadChannelsFract32(words(in), words(out), channels(in),
                          servedChannels(channels(in), capacity(m, kStateArray) / 4), s->currentCoeffsFract32, s->state,
                          s->postShift, frames(in, out));
}

int32_t secondOrderFilterSmoothedFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SecondOrderFilterSmoothedFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    s->smoothingCoeffFract32 = kve_rounded(
        blockSmoother(s->smoothingTime, in));
    design_second_order_filter(s->filterType, s->coeffs, in->sampleRate, s->freq, s->gain, s->Q);
    // Process glides only while the flag stands, so it never sees half a set of target words.
    s->updateActive = 0;
    toTargets(s->coeffs, s->coeffScale, s->targetCoeffsFract32, kSectionWords);
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<13> kve_modSecondOrderFilterSmoothedFract32Class =
    makeClass<13>(0xBEEF08C1u,
                  {secondOrderFilterSmoothedFract32Constructor, secondOrderFilterSmoothedFract32Process,
                   IOMatchUpModule_Bypass, secondOrderFilterSmoothedFract32Set},
                  kVariables);
