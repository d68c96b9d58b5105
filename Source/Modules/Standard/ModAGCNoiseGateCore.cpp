// AGCNoiseGateCore: a gain signal that closes to 0 when the input's smoothed energy falls below threshold − hysteresis
// and opens to 1 when it rises above threshold + hysteresis, gliding between the two.
#include <cmath>

#include "Modules/Standard/Dynamics.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct AGCNoiseGateCoreModule {
    ClassModule header;
    float threshold;
    float hysteresis;
    float attackTime;
    float releaseTime;
    float smoothingTime;
    int32_t isClosed;
    float lowThresholdPower;
    float highThresholdPower;
    float attackCoeff;
    float releaseCoeff;
    float gainSmoothingCoeff;
    float targetGain;
    float currentGain;
    float smoothedEnergy;
    float invNumSamples;
};

using M = AGCNoiseGateCoreModule;
constexpr std::array<Variable, 15> kVariables = {
    KVE_VARIABLE(M, threshold, Float),          KVE_VARIABLE(M, hysteresis, Float),
    KVE_VARIABLE(M, attackTime, Float),         KVE_VARIABLE(M, releaseTime, Float),
    KVE_VARIABLE(M, smoothingTime, Float),      KVE_VARIABLE(M, isClosed, Int),
    KVE_VARIABLE(M, lowThresholdPower, Float),  KVE_VARIABLE(M, highThresholdPower, Float),
    KVE_VARIABLE(M, attackCoeff, Float),        KVE_VARIABLE(M, releaseCoeff, Float),
    KVE_VARIABLE(M, gainSmoothingCoeff, Float), KVE_VARIABLE(M, targetGain, Float),
    KVE_VARIABLE(M, currentGain, Float),        KVE_VARIABLE(M, smoothedEnergy, Float),
    KVE_VARIABLE(M, invNumSamples, Float),
};

ClassModule *agcNoiseGateCoreConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                         const uint32_t *args)
{
    return construct(kve_modAGCNoiseGateCoreClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// Between the two thresholds the gate keeps its state, so a level hovering near one threshold does not chatter.
void agcNoiseGateCoreProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const float e = blockMeanSquare(m, s->invNumSamples);
    const float k = e <= s->smoothedEnergy ? s->releaseCoeff : s->attackCoeff;
    s->smoothedEnergy = k * e + s->smoothedEnergy * (1.0f - k);
    if (s->smoothedEnergy < s->lowThresholdPower) {
        s->isClosed = 1;
        s->targetGain = 0.0f;
    }
    if (s->smoothedEnergy > s->highThresholdPower) {
        s->isClosed = 0;
        s->targetGain = 1.0f;
    }
    auto *gain = static_cast<float *>(wire(m, 1)->buffer);
    const int32_t n = gainSamples(m);
    kve_vecFill(gain, 1, 1.0f, n);
    kve_vecScaleSmooth(gain, 1, gain, 1, &s->currentGain, s->targetGain, s->gainSmoothingCoeff, n);
}

int32_t agcNoiseGateCoreSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    const GenericWire *in = wire(m, 0);
    s->lowThresholdPower = std::exp((s->threshold - s->hysteresis) * 0.23025851f);
    s->highThresholdPower = std::exp((s->threshold + s->hysteresis) * 0.23025851f);
    s->attackCoeff = kve::scalers::blockSmoother(s->attackTime, in);
    s->releaseCoeff = kve::scalers::blockSmoother(s->releaseTime, in);
    s->gainSmoothingCoeff = design_smoother(1, s->smoothingTime, in->sampleRate);
    s->invNumSamples = invSamplesOf(m);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<15> kve_modAGCNoiseGateCoreClass = makeClass<15>(
    0xBEEF0803u,
    {agcNoiseGateCoreConstructor, agcNoiseGateCoreProcess, unityGain<float, 1>, agcNoiseGateCoreSet},
    kVariables);
