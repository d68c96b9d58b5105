// SecondOrderFilterSmoothedCascade: `numStages` parametric sections in series, each with its own filter type,
// frequency, gain and Q; Set designs each stage's targets, and each stage's running coefficients glide toward them
// once per block.
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::filters;
using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::tone;

struct SecondOrderFilterSmoothedCascadeModule {
    ClassModule header;
    int32_t numStages;
    float smoothingTime;
    int32_t updateActive;
    float smoothingCoeff;
    int32_t *filterTypes;
    float *freqs;
    float *gains;
    float *Qs;
    float *targetCoeffs;
    float *currentCoeffs;
    float *state;
};

// Array ordinals of filterTypes (one entry per stage at construction) and of state, and state's variable index.
constexpr uint32_t kStagesArray = 0;
constexpr uint32_t kStateArray = 6;
constexpr uint32_t kStateVariable = 10;

constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(SecondOrderFilterSmoothedCascadeModule, numStages, Int),
    KVE_VARIABLE(SecondOrderFilterSmoothedCascadeModule, smoothingTime, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedCascadeModule, updateActive, Int),
    KVE_VARIABLE(SecondOrderFilterSmoothedCascadeModule, smoothingCoeff, Float),
    KVE_ARRAY(SecondOrderFilterSmoothedCascadeModule, filterTypes, IntArray, perArgument(0)),
    KVE_ARRAY(SecondOrderFilterSmoothedCascadeModule, freqs, FloatArray, perArgument(0)),
    KVE_ARRAY(SecondOrderFilterSmoothedCascadeModule, gains, FloatArray, perArgument(0)),
    KVE_ARRAY(SecondOrderFilterSmoothedCascadeModule, Qs, FloatArray, perArgument(0)),
    KVE_ARRAY(SecondOrderFilterSmoothedCascadeModule, targetCoeffs, FloatArray, perArgument(0, kSectionWords)),
    KVE_ARRAY(SecondOrderFilterSmoothedCascadeModule, currentCoeffs, FloatArray, perArgument(0, kSectionWords)),
    // Two words per stage per channel; the constructor sets the length from the input wire.
    KVE_ARRAY(SecondOrderFilterSmoothedCascadeModule, state, FloatArray, perArgument(0, 2)),
};

ClassModule *secondOrderFilterSmoothedCascadeConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                         uint32_t argc, const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    return construct(kve_modSecondOrderFilterSmoothedCascadeClass,
                     withStageState(kVariables, kStateVariable, 0, 2, wires), 1, 1, status, wireWord, wires, argc,
                     args);
}

void secondOrderFilterSmoothedCascadeProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SecondOrderFilterSmoothedCascadeModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t stages = clampedCount(s->numStages, capacity(m, kStagesArray));
    const uint32_t served = servedStageChannels(channels(in), capacity(m, kStateArray), stages, 2);
    const int32_t n = frames(in, out);
    // Stage 0 reads the input; every later stage refilters the output in place, over the same frames.
    const float *src = samples(in);
    for (uint32_t k = 0; k < stages; ++k) {
        float *current = s->currentCoeffs + kSectionWords * k;
        if (s->updateActive != 0)
            glideCoefficients(current, s->targetCoeffs + kSectionWords * k, s->smoothingCoeff, kSectionWords);
        biquadChannels(src, samples(out), channels(in), served, current, s->state + 2 * k * served, n);
        src = samples(out);
    }
}

int32_t secondOrderFilterSmoothedCascadeSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SecondOrderFilterSmoothedCascadeModule *>(m);
    const GenericWire *in = wire(m, 0);
    s->smoothingCoeff =
        blockSmoother(s->smoothingTime, in);
    s->updateActive = 0;
    const uint32_t stages = clampedCount(s->numStages, capacity(m, kStagesArray));
    for (uint32_t k = 0; k < stages; ++k)
        design_second_order_filter(s->filterTypes[k], s->targetCoeffs + kSectionWords * k, in->sampleRate, s->freqs[k],
                                   s->gains[k], s->Qs[k]);
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modSecondOrderFilterSmoothedCascadeClass =
    makeClass<11>(0xBEEF0808u,
                  {secondOrderFilterSmoothedCascadeConstructor, secondOrderFilterSmoothedCascadeProcess,
                   IOMatchUpModule_Bypass, secondOrderFilterSmoothedCascadeSet},
                  kVariables);
