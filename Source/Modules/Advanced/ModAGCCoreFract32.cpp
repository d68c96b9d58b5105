// AGCCoreFract32: a Q4.28 gain signal that moves the input's smoothed energy level toward the target level in fixed
// point: while the block's level is below the activation level the hold gain is the target instead. Levels are
// carried in dB / 128 (Q31).
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

struct AGCCoreFract32Module {
    ClassModule header;
    float targetLevel;    // dB
    float ratio;          // the gain moves 1 - 1/ratio dB per dB of level
    float maxGain;        // dB
    float maxAttenuation; // dB
    float activationLevel; // dB
    float energyTime;     // ms, the energy's smoothing
    int32_t reserved6;
    float gainTime; // ms, the gain's smoothing
    float gain;     // the gain as a float, refreshed by Get
    Fract32 activationQ;
    Fract32 energyCoeff;
    Fract32 targetLevelQ;
    Fract32 smoothedEnergy;
    int32_t reserved13;
    Fract32 slopeQ;
    float holdLevel;
    float holdScaleHigh;
    float holdScaleLow;
    float instantLevel;  // dB of the last block
    float smoothedLevel; // dB of the smoothed energy
    float reserved20;
    float reserved21;
    float reserved22;
    Fract32 maxGainQ;
    Fract32 maxAttenuationQ;
    Fract32 holdLevelQ;
    Fract32 holdScaleHighQ;
    Fract32 holdScaleLowQ;
    Fract32 gainCoeff;
    Fract32 gainState; // Q4.28
};

using M = AGCCoreFract32Module;
constexpr std::array<Variable, 30> kVariables = {
    KVE_VARIABLE(M, targetLevel, Float),      KVE_VARIABLE(M, ratio, Float),
    KVE_VARIABLE(M, maxGain, Float),          KVE_VARIABLE(M, maxAttenuation, Float),
    KVE_VARIABLE(M, activationLevel, Float),  KVE_VARIABLE(M, energyTime, Float),
    KVE_VARIABLE(M, reserved6, Int),          KVE_VARIABLE(M, gainTime, Float),
    KVE_VARIABLE(M, gain, Float),             KVE_VARIABLE(M, activationQ, Fract32),
    KVE_VARIABLE(M, energyCoeff, Fract32),    KVE_VARIABLE(M, targetLevelQ, Fract32),
    KVE_VARIABLE(M, smoothedEnergy, Fract32), KVE_VARIABLE(M, reserved13, Int),
    KVE_VARIABLE(M, slopeQ, Fract32),         KVE_VARIABLE(M, holdLevel, Float),
    KVE_VARIABLE(M, holdScaleHigh, Float),    KVE_VARIABLE(M, holdScaleLow, Float),
    KVE_VARIABLE(M, instantLevel, Float),     KVE_VARIABLE(M, smoothedLevel, Float),
    KVE_VARIABLE(M, reserved20, Float),       KVE_VARIABLE(M, reserved21, Float),
    KVE_VARIABLE(M, reserved22, Float),       KVE_VARIABLE(M, maxGainQ, Fract32),
    KVE_VARIABLE(M, maxAttenuationQ, Fract32), KVE_VARIABLE(M, holdLevelQ, Fract32),
    KVE_VARIABLE(M, holdScaleHighQ, Fract32), KVE_VARIABLE(M, holdScaleLowQ, Fract32),
    KVE_VARIABLE(M, gainCoeff, Fract32),      KVE_VARIABLE(M, gainState, Fract32),
};

constexpr float kDbScale = 0.0078125f; // levels are kept in dB / 128

// 10 log10 of a mean square, divided by 128; full scale and above reads as 0 dB.
float levelOf(Fract32 meanSquare)
{
    if (meanSquare >= INT32_MAX)
        return 0.0f;
    return std::log10(static_cast<float>(meanSquare) * 0x1p-31f) * 0.078125f;
}

ClassModule *agcCoreFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    return construct(kve_modAGCCoreFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void agcCoreFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const GenericWire *in = wire(m, 0);
    const uint32_t count = wireWords(in);
    const int64_t sum = kve_vecSumSquaredFract32(static_cast<const Fract32 *>(in->buffer),
                                                 static_cast<int32_t>(count));
    const Fract32 meanSquare = count == 0 ? 0 : kve_saturate64(sum / static_cast<int64_t>(count));
    s->smoothedEnergy = kve_addFract32(kve_mulFract32(s->energyCoeff, meanSquare),
                                       kve_mulFract32(INT32_MAX - s->energyCoeff, s->smoothedEnergy));
    const float instant = levelOf(meanSquare);
    const float smoothed = levelOf(s->smoothedEnergy);
    s->instantLevel = instant * 128.0f;
    s->smoothedLevel = smoothed * 128.0f;
    kve_vecAGCCoreFract32(static_cast<Fract32 *>(wire(m, 1)->buffer), kve_advFloatToFract32(instant),
                          kve_advFloatToFract32(smoothed), s->activationQ, s->targetLevelQ, s->slopeQ, s->maxGainQ,
                          s->maxAttenuationQ, s->holdLevelQ, s->holdScaleHighQ, s->holdScaleLowQ, &s->gainState,
                          s->gainCoeff, monoSamples(m));
}

int32_t agcCoreFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    const GenericWire *in = wire(m, 0);
    s->energyCoeff = kve_advFloatToFract32(
        design_smoother(static_cast<int32_t>(blockSize(in)), s->energyTime, in->sampleRate));
    s->gainCoeff = kve_advFloatToFract32(design_smoother(1, s->gainTime, in->sampleRate));
    s->targetLevelQ = kve_advFloatToFract32(s->targetLevel * kDbScale);
    s->activationQ = kve_advFloatToFract32(s->activationLevel * kDbScale);
    s->maxGainQ = kve_advFloatToFract32(s->maxGain * kDbScale);
    s->maxAttenuationQ = kve_advFloatToFract32(s->maxAttenuation * kDbScale);
    s->slopeQ = kve_advFloatToFract32(1.0f - 1.0f / s->ratio);
    s->holdLevelQ = kve_advFloatToFract32(s->holdLevel);
    s->holdScaleHighQ = kve_advFloatToFract32(s->holdScaleHigh);
    s->holdScaleLowQ = kve_advFloatToFract32(s->holdScaleLow);
    return 0;
}

// The gain readout is refreshed only when the host asks for it, so Process stays free of the conversion.
int32_t agcCoreFract32Get(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<M *>(m);
    if ((mask & (1u << 16)) != 0)
        s->gain = static_cast<float>(s->gainState) * 0x1p-28f;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<30> kve_modAGCCoreFract32Class = makeClass<30>(
    0xBEEF0CB4u,
    {agcCoreFract32Constructor, agcCoreFract32Process, kve::dynamics::unityGain<Fract32, 0x7FFFFFFF>,
     agcCoreFract32Set, agcCoreFract32Get},
    kVariables);
