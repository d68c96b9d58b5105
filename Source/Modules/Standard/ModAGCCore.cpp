// AGCCore: a gain signal that moves the input's smoothed energy level toward targetLevel by ratio, within maxGain and
// maxAttenuation; below activationThreshold the gain drifts back toward unity at recoveryRate dB per second.
#include <cmath>

#include "Modules/Standard/Dynamics.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct AGCCoreModule {
    ClassModule header;
    float targetLevel;
    float maxAttenuation;
    float maxGain;
    float ratio;
    float activationThreshold;
    float smoothingTime;
    int32_t enableRecovery;
    float recoveryRate;
    float currentGain;
    float ratioSlope;
    float sampleSmoothingCoeff;
    float blockSmoothingCoeff;
    float recoveryUpFactor;
    float recoveryDownFactor;
    float targetGain;
    float smoothedEnergy;
    float invNumSamples;
};

using M = AGCCoreModule;
constexpr std::array<Variable, 17> kVariables = {
    KVE_VARIABLE(M, targetLevel, Float),         KVE_VARIABLE(M, maxAttenuation, Float),
    KVE_VARIABLE(M, maxGain, Float),             KVE_VARIABLE(M, ratio, Float),
    KVE_VARIABLE(M, activationThreshold, Float), KVE_VARIABLE(M, smoothingTime, Float),
    KVE_VARIABLE(M, enableRecovery, Int),        KVE_VARIABLE(M, recoveryRate, Float),
    KVE_VARIABLE(M, currentGain, Float),         KVE_VARIABLE(M, ratioSlope, Float),
    KVE_VARIABLE(M, sampleSmoothingCoeff, Float), KVE_VARIABLE(M, blockSmoothingCoeff, Float),
    KVE_VARIABLE(M, recoveryUpFactor, Float),    KVE_VARIABLE(M, recoveryDownFactor, Float),
    KVE_VARIABLE(M, targetGain, Float),          KVE_VARIABLE(M, smoothedEnergy, Float),
    KVE_VARIABLE(M, invNumSamples, Float),
};

// Energy level in dB; silence below the smallest normal float reads as the floor instead of minus infinity.
float levelDb(float energy)
{
    return std::fabs(energy) < 1.17549435e-38f ? -379.2978f : 4.3429446f * std::log(energy);
}

ClassModule *agcCoreConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    return construct(kve_modAGCCoreClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void agcCoreProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const float e = blockMeanSquare(m, s->invNumSamples);
    s->smoothedEnergy = e * s->blockSmoothingCoeff + s->smoothedEnergy * (1.0f - s->blockSmoothingCoeff);
    if (levelDb(e) < s->activationThreshold) {
        // Too quiet to regulate: the gain drifts toward unity, from just above 0 when it had closed fully.
        if (s->targetGain == 0.0f)
            s->targetGain = 1e-6f * s->recoveryUpFactor;
        else if (s->targetGain > 1.0f)
            s->targetGain *= s->recoveryDownFactor;
        else
            s->targetGain *= s->recoveryUpFactor;
    } else {
        float g = (s->targetLevel - levelDb(s->smoothedEnergy)) * s->ratioSlope;
        g = std::min(g, s->maxGain);
        g = std::max(g, -s->maxAttenuation);
        s->targetGain = kve::scalers::undB(g);
    }
    kve_vecFirstOrderSmoother(static_cast<float *>(wire(m, 1)->buffer), &s->currentGain, s->targetGain,
                              s->sampleSmoothingCoeff, gainSamples(m));
}

int32_t agcCoreSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    const GenericWire *in = wire(m, 0);
    s->sampleSmoothingCoeff = design_smoother(1, s->smoothingTime, in->sampleRate);
    s->blockSmoothingCoeff = kve::scalers::blockSmoother(s->smoothingTime, in);
    s->ratioSlope = 1.0f - 1.0f / s->ratio;
    s->invNumSamples = invSamplesOf(m);
    if (s->enableRecovery == 0) {
        s->recoveryUpFactor = 1.0f;
        s->recoveryDownFactor = 1.0f;
    } else {
        const float perBlock = static_cast<float>(blockSize(in)) * s->recoveryRate / in->sampleRate;
        s->recoveryUpFactor = kve::scalers::undB(perBlock);
        s->recoveryDownFactor = kve::scalers::undB(-perBlock);
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<17> kve_modAGCCoreClass = makeClass<17>(
    0xBEEF0802u, {agcCoreConstructor, agcCoreProcess, unityGain<float, 1>, agcCoreSet}, kVariables);
