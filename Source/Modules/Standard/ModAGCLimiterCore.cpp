// AGCLimiterCore: from the level signal on wire 0, a per-sample gain on wire 1 that holds the level's envelope to
// threshold above it (hard knee, or a knee kneeDepth dB wide around it), with gain added as make-up.
#include "Modules/Standard/Dynamics.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct AGCLimiterCoreModule {
    ClassModule header;
    float threshold;
    float gain;
    float slope;
    float kneeDepth;
    float ratio;
    float attackTime;
    float decayTime;
    float currentGain;
    float kneeDepthInv;
    float attackCoeff;
    float decayCoeff;
    float envelopeState;
};

constexpr std::array<Variable, 12> kVariables = {
    KVE_VARIABLE(AGCLimiterCoreModule, threshold, Float),    KVE_VARIABLE(AGCLimiterCoreModule, gain, Float),
    KVE_VARIABLE(AGCLimiterCoreModule, slope, Float),        KVE_VARIABLE(AGCLimiterCoreModule, kneeDepth, Float),
    KVE_VARIABLE(AGCLimiterCoreModule, ratio, Float),        KVE_VARIABLE(AGCLimiterCoreModule, attackTime, Float),
    KVE_VARIABLE(AGCLimiterCoreModule, decayTime, Float),    KVE_VARIABLE(AGCLimiterCoreModule, currentGain, Float),
    KVE_VARIABLE(AGCLimiterCoreModule, kneeDepthInv, Float), KVE_VARIABLE(AGCLimiterCoreModule, attackCoeff, Float),
    KVE_VARIABLE(AGCLimiterCoreModule, decayCoeff, Float),   KVE_VARIABLE(AGCLimiterCoreModule, envelopeState, Float),
};

ClassModule *agcLimiterCoreConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    return construct(kve_modAGCLimiterCoreClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void agcLimiterCoreProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<AGCLimiterCoreModule *>(m);
    s->currentGain = kve_vecAGCLimiterCore(static_cast<const float *>(wire(m, 0)->buffer),
                                           static_cast<float *>(wire(m, 1)->buffer), gainSamples(m),
                                           &s->envelopeState, s->attackCoeff, s->decayCoeff, s->threshold,
                                           s->kneeDepth, s->slope, s->kneeDepthInv, s->gain);
}

// A knee of 0 dB is a hard knee; its reciprocal stands for a knee of 0.01 dB.
int32_t agcLimiterCoreSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<AGCLimiterCoreModule *>(m);
    const float rate = wire(m, 0)->sampleRate;
    s->slope = 1.0f - 1.0f / s->ratio;
    s->kneeDepthInv = s->kneeDepth == 0.0f ? 100.0f : 1.0f / s->kneeDepth;
    s->attackCoeff = design_smoother(1, s->attackTime, rate);
    s->decayCoeff = design_smoother(1, s->decayTime, rate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<12> kve_modAGCLimiterCoreClass = makeClass<12>(
    0xBEEF0804u, {agcLimiterCoreConstructor, agcLimiterCoreProcess, unityGain<float, 1>, agcLimiterCoreSet},
    kVariables);
