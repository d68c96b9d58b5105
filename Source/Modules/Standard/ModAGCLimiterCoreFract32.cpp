// AGCLimiterCoreFract32: the limiter's gain signal in Fract32, its levels in dB scaled by 1/128 (Q8.24).
#include "Modules/Standard/Dynamics.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct AGCLimiterCoreFract32Module {
    ClassModule header;
    float threshold;
    float gain;
    int32_t slopeFract32;
    float kneeDepth;
    float ratio;
    float attackTime;
    float decayTime;
    float reserved;
    int32_t kneeDepthInvFract32;
    int32_t attackCoeffFract32;
    int32_t decayCoeffFract32;
    int32_t envelopeStateFract32;
    int32_t currentGainFract32;
    int32_t thresholdFract32;
    int32_t kneeDepthFract32;
    int32_t gainFract32;
};

using M = AGCLimiterCoreFract32Module;
constexpr std::array<Variable, 16> kVariables = {
    KVE_VARIABLE(M, threshold, Float),
    KVE_VARIABLE(M, gain, Float),
    KVE_VARIABLE(M, slopeFract32, Int),
    KVE_VARIABLE(M, kneeDepth, Float),
    KVE_VARIABLE(M, ratio, Float),
    KVE_VARIABLE(M, attackTime, Float),
    KVE_VARIABLE(M, decayTime, Float),
    KVE_VARIABLE(M, reserved, Float),
    KVE_VARIABLE(M, kneeDepthInvFract32, Int),
    KVE_VARIABLE(M, attackCoeffFract32, Int),
    KVE_VARIABLE(M, decayCoeffFract32, Int),
    KVE_VARIABLE(M, envelopeStateFract32, Int),
    KVE_VARIABLE(M, currentGainFract32, Int),
    KVE_VARIABLE(M, thresholdFract32, Int),
    KVE_VARIABLE(M, kneeDepthFract32, Int),
    KVE_VARIABLE(M, gainFract32, Int),
};

// Decibels as the core reads them: dB / 128.
constexpr float kDbScale = 0.0078125f;
// The knee a knee of 0 dB stands for (0.01 dB), and its reciprocal as the core reads it (100 / 128).
constexpr float kHardKneeDepth = 0.01f;
constexpr Fract32 kHardKneeInverse = 0x64000000;

ClassModule *agcLimiterCoreFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                              const uint32_t *args)
{
    return construct(kve_modAGCLimiterCoreFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// The last gain of the block, back in the scale of the host's linear gains.
void agcLimiterCoreFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    auto *gain = static_cast<Fract32 *>(wire(m, 1)->buffer);
    const int32_t n = gainSamples(m);
    kve_vecAGCLimiterCoreFract32(static_cast<const Fract32 *>(wire(m, 0)->buffer), gain, &s->envelopeStateFract32,
                                 s->attackCoeffFract32, s->decayCoeffFract32, s->thresholdFract32, s->slopeFract32,
                                 s->gainFract32, s->kneeDepthFract32, s->kneeDepthInvFract32, n);
    if (n > 0)
        s->currentGainFract32 = kve_saturate64(int64_t{gain[n - 1]} * 128);
}

// A knee of 0 dB is the hard knee: the core is given the 0.01 dB knee that its reciprocal stands for, since a knee
// of 0 would never reduce the gain.
int32_t agcLimiterCoreFract32Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<M *>(m);
    const float rate = wire(m, 0)->sampleRate;
    const bool hard = s->kneeDepth == 0.0f;
    s->kneeDepthInvFract32 = hard ? kHardKneeInverse : kve_rounded(kDbScale / s->kneeDepth);
    s->thresholdFract32 = kve_rounded(kDbScale * s->threshold);
    s->gainFract32 = kve_rounded(kDbScale * s->gain);
    s->kneeDepthFract32 = kve_rounded(kDbScale * (hard ? kHardKneeDepth : s->kneeDepth));
    if (mask & (1u << 13))
        s->attackCoeffFract32 = kve_rounded(design_smoother(1, s->attackTime, rate));
    if (mask & (1u << 14))
        s->decayCoeffFract32 = kve_rounded(design_smoother(1, s->decayTime, rate));
    if (mask & (1u << 12))
        s->slopeFract32 = kve_rounded(1.0f - 1.0f / s->ratio);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<16> kve_modAGCLimiterCoreFract32Class = makeClass<16>(
    0xBEEF0882u,
    {agcLimiterCoreFract32Constructor, agcLimiterCoreFract32Process, unityGain<Fract32, 0x7FFFFFFF>,
     agcLimiterCoreFract32Set},
    kVariables);
