// SOFCascadeHP: `numStages` parametric sections in series, each with its own filter type, frequency, gain and Q, in
// state-space form; each stage's set in use glides toward its design once per block while `updateActive` is set.
#include "Modules/Advanced/HpBiquads.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::hp;
using namespace kve::scalers;

struct SOFCascadeHPModule {
    ClassModule header;
    int32_t numStages;
    float smoothingTime; // ms
    int32_t updateActive;
    float smoothingCoeff;
    int32_t *filterType;
    float *freq;
    float *gain;
    float *Q;
    float *targetCoeffs;
    float *currentCoeffs;
    float *state;
};

// Array ordinals of filterType and state, and state's variable index.
constexpr uint32_t kTypeArray = 0;
constexpr uint32_t kTargetArray = 4;
constexpr uint32_t kStateArray = 6;
constexpr uint32_t kStateVariable = 10;

constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(SOFCascadeHPModule, numStages, Int),
    KVE_VARIABLE(SOFCascadeHPModule, smoothingTime, Float),
    KVE_VARIABLE(SOFCascadeHPModule, updateActive, Int),
    KVE_VARIABLE(SOFCascadeHPModule, smoothingCoeff, Float),
    KVE_ARRAY_IN(SOFCascadeHPModule, filterType, IntArray, perArgument(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY_IN(SOFCascadeHPModule, freq, FloatArray, perArgument(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY_IN(SOFCascadeHPModule, gain, FloatArray, perArgument(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY_IN(SOFCascadeHPModule, Q, FloatArray, perArgument(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY(SOFCascadeHPModule, targetCoeffs, FloatArray, perArgument(0, kSectionWords)),
    KVE_ARRAY(SOFCascadeHPModule, currentCoeffs, FloatArray, perArgument(0, kSectionWords)),
    // Two words per stage per channel; the constructor sets the length from the input wire.
    KVE_ARRAY(SOFCascadeHPModule, state, FloatArray, perArgument(0, kSectionStateWords)),
};

ClassModule *sofCascadeHPConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                     const uint32_t *args)
{
    if (!stagesArgumentValid(status, argc, args, 4, 0) || !requireWires(status, wireWord, 1, 1))
        return nullptr;
    return construct(kve_modSOFCascadeHPClass,
                     kve::tone::withStageState(kVariables, kStateVariable, 0, kSectionStateWords, wires), 1, 1,
                     status, wireWord, wires, argc, args);
}

uint32_t stagesOf(ClassModule *m)
{
    const int32_t written = reinterpret_cast<SOFCascadeHPModule *>(m)->numStages;
    return clampedCount(written, std::min(capacity(m, kTypeArray), capacity(m, kTargetArray) / kSectionWords));
}

void sofCascadeHPProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SOFCascadeHPModule *>(m);
    const uint32_t stages = stagesOf(m);
    if (stages == 0)
        return; // no sections run: the output wire keeps what it holds
    runStateSpaceStages(wire(m, 0), wire(m, 1), s->currentCoeffs, s->targetCoeffs, s->updateActive != 0,
                        s->smoothingCoeff, s->state, stages, capacity(m, kStateArray));
}

int32_t sofCascadeHPSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SOFCascadeHPModule *>(m);
    const GenericWire *in = wire(m, 0);
    s->updateActive = 0;
    s->smoothingCoeff = blockSmoother(s->smoothingTime, in);
    const uint32_t stages = stagesOf(m);
    for (uint32_t k = 0; k < stages; ++k) {
        float *target = s->targetCoeffs + kSectionWords * k;
        design_second_order_filter(s->filterType[k], target, in->sampleRate, s->freq[k], s->gain[k], s->Q[k]);
        design_sos2ss(target, target);
    }
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modSOFCascadeHPClass = makeClass<11>(
    0xBEEF0D32u, {sofCascadeHPConstructor, sofCascadeHPProcess, IOMatchUpModule_Bypass, sofCascadeHPSet},
    kVariables);
