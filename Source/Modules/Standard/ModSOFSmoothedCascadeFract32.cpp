// SOFSmoothedCascadeFract32: `numStages` parametric sections in series in Q1.31. Set keeps each stage's float design
// in `coeffs` and converts it, scaled by `coeffScale`, into the target words; all running words glide toward them
// once per block, and every stage restores the scale with the common `postShift`.
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::filters;
using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::tone;

struct SOFSmoothedCascadeFract32Module {
    ClassModule header;
    int32_t numStages;
    float smoothingTime;
    int32_t updateActive;
    Fract32 smoothingCoeffFract32;
    int32_t postShift;
    float coeffScale;
    int32_t *filterTypes;
    float *freqs;
    float *gains;
    float *Qs;
    float *coeffs;
    Fract32 *targetCoeffsFract32;
    Fract32 *currentCoeffsFract32;
    Fract32 *state;
};

// Array ordinals of filterTypes (one entry per stage at construction) and of state, and state's variable index.
constexpr uint32_t kStagesArray = 0;
constexpr uint32_t kStateArray = 7;
constexpr uint32_t kStateVariable = 13;

constexpr std::array<Variable, 14> kVariables = {
    KVE_VARIABLE(SOFSmoothedCascadeFract32Module, numStages, Int),
    KVE_VARIABLE(SOFSmoothedCascadeFract32Module, smoothingTime, Float),
    KVE_VARIABLE(SOFSmoothedCascadeFract32Module, updateActive, Int),
    KVE_VARIABLE(SOFSmoothedCascadeFract32Module, smoothingCoeffFract32, Fract32),
    KVE_VARIABLE(SOFSmoothedCascadeFract32Module, postShift, Int),
    KVE_VARIABLE(SOFSmoothedCascadeFract32Module, coeffScale, Float),
    KVE_ARRAY(SOFSmoothedCascadeFract32Module, filterTypes, IntArray, perArgument(0)),
    KVE_ARRAY(SOFSmoothedCascadeFract32Module, freqs, FloatArray, perArgument(0)),
    KVE_ARRAY(SOFSmoothedCascadeFract32Module, gains, FloatArray, perArgument(0)),
    KVE_ARRAY(SOFSmoothedCascadeFract32Module, Qs, FloatArray, perArgument(0)),
    KVE_ARRAY(SOFSmoothedCascadeFract32Module, coeffs, FloatArray, perArgument(0, kSectionWords)),
    KVE_ARRAY(SOFSmoothedCascadeFract32Module, targetCoeffsFract32, Fract32Array, perArgument(0, kSectionWords)),
    KVE_ARRAY(SOFSmoothedCascadeFract32Module, currentCoeffsFract32, Fract32Array, perArgument(0, kSectionWords)),
    // Four words per stage per channel; the constructor sets the length from the input wire.
    KVE_ARRAY(SOFSmoothedCascadeFract32Module, state, Fract32Array, perArgument(0, 4)),
};

ClassModule *sofSmoothedCascadeFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                  uint32_t argc, const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    return construct(kve_modSOFSmoothedCascadeFract32Class, withStageState(kVariables, kStateVariable, 0, 4, wires), 1,
                     1, status, wireWord, wires, argc, args);
}

void sofSmoothedCascadeFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SOFSmoothedCascadeFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t stages = clampedCount(s->numStages, capacity(m, kStagesArray));
    const uint32_t served = servedStageChannels(channels(in), capacity(m, kStateArray), stages, 4);
    const int32_t n = frames(in, out);
    if (s->updateActive != 0)
        glideFract32(s->currentCoeffsFract32, s->targetCoeffsFract32, s->smoothingCoeffFract32, kSectionWords * stages);
    // Stage 0 reads the input; every later stage refilters the output in place, over the same frames.
    const Fract32 *src = words(in);
    for (uint32_t k = 0; k < stages; ++k) {
        const Fract32 *coeffs = s->currentCoeffsFract32 + kSectionWords * k;
        Fract32 *state = s->state + 4 * k * served;
        if (channels(in) == 1 && served == 1)
            kve_vecBiquadFract32_single(src, words(out), coeffs, state, s->postShift, n);
        else
            biquadChannelsFract32(src, words(out), channels(in), served, coeffs, state, s->postShift, n);
        src = words(out);
    }
}

int32_t sofSmoothedCascadeFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SOFSmoothedCascadeFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    s->smoothingCoeffFract32 = kve_rounded(
        blockSmoother(s->smoothingTime, in));
    const uint32_t stages = clampedCount(s->numStages, capacity(m, kStagesArray));
    for (uint32_t k = 0; k < stages; ++k)
        design_second_order_filter(s->filterTypes[k], s->coeffs + kSectionWords * k, in->sampleRate, s->freqs[k],
                                   s->gains[k], s->Qs[k]);
    if (stages == 0)
        return 0;
    // Process glides only while the flag stands, so it never sees half a set of target words.
    s->updateActive = 0;
    toTargets(s->coeffs, s->coeffScale, s->targetCoeffsFract32, kSectionWords * stages);
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<14> kve_modSOFSmoothedCascadeFract32Class =
    makeClass<14>(0xBEEF08C0u,
                  {sofSmoothedCascadeFract32Constructor, sofSmoothedCascadeFract32Process, IOMatchUpModule_Bypass,
                   sofSmoothedCascadeFract32Set},
                  kVariables);
