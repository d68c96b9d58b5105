// AGCCompressorCore: a gain signal from a level signal: the block's peak envelope above threshold is reduced by the
// slope 1 - 1/ratio, below it the gain offset holds; the gain glides there sample by sample.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

struct AGCCompressorCoreModule {
    ClassModule header;
    float threshold;
    float gainOffset;
    float ratio;
    float attackTime;
    float attackSampleTime;
    float releaseTime;
    float releaseSampleTime;
    float currentGain;
    float slope;
    float reserved;
    float attackBlockCoeff;
    float attackSampleCoeff;
    float releaseBlockCoeff;
    float releaseSampleCoeff;
    float envelope;
};

using M = AGCCompressorCoreModule;
constexpr std::array<Variable, 15> kVariables = {
    KVE_VARIABLE(M, threshold, Float),         KVE_VARIABLE(M, gainOffset, Float),
    KVE_VARIABLE(M, ratio, Float),             KVE_VARIABLE(M, attackTime, Float),
    KVE_VARIABLE(M, attackSampleTime, Float),  KVE_VARIABLE(M, releaseTime, Float),
    KVE_VARIABLE(M, releaseSampleTime, Float), KVE_VARIABLE(M, currentGain, Float),
    KVE_VARIABLE(M, slope, Float),             KVE_VARIABLE(M, reserved, Float),
    KVE_VARIABLE(M, attackBlockCoeff, Float),  KVE_VARIABLE(M, attackSampleCoeff, Float),
    KVE_VARIABLE(M, releaseBlockCoeff, Float), KVE_VARIABLE(M, releaseSampleCoeff, Float),
    KVE_VARIABLE(M, envelope, Float),
};

ClassModule *agcCompressorCoreConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    return construct(kve_modAGCCompressorCoreClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void agcCompressorCoreProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    s->currentGain = kve_vecAGCCompressorCore(
        static_cast<const float *>(wire(m, 0)->buffer), static_cast<float *>(wire(m, 1)->buffer), monoSamples(m),
        &s->envelope, s->attackBlockCoeff, s->releaseBlockCoeff, s->attackSampleCoeff, s->releaseSampleCoeff,
        s->currentGain, s->threshold, s->slope, s->gainOffset);
}

// A coefficient 1 - exp(-n/s) for a span s of samples; a span of 0 leaves the coefficient as it was.
void spanCoeff(float &coeff, float n, float span)
{
    if (span != 0.0f)
        coeff = 1.0f - std::exp(-n / span);
}

void splitTime(const ClassModule *m, float time, float sampleTime, float &blockCoeff, float &sampleCoeff)
{
    const CompressorTimes t = compressorTimes(m, time, sampleTime);
    const GenericWire *in = wire(m, 0);
    const float samplesPerMs = in->sampleRate * 0.001f;
    spanCoeff(blockCoeff, static_cast<float>(blockSize(in)), t.blockTime * samplesPerMs);
    spanCoeff(sampleCoeff, 1.0f, t.sampleTime * samplesPerMs);
}

int32_t agcCompressorCoreSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<M *>(m);
    if (names(mask, 2))
        s->slope = 1.0f - 1.0f / s->ratio;
    if (names(mask, 3))
        splitTime(m, s->attackTime, s->attackSampleTime, s->attackBlockCoeff, s->attackSampleCoeff);
    if (names(mask, 5))
        splitTime(m, s->releaseTime, s->releaseSampleTime, s->releaseBlockCoeff, s->releaseSampleCoeff);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<15> kve_modAGCCompressorCoreClass = makeClass<15>(
    0xBEEF0CB3u,
    {agcCompressorCoreConstructor, agcCompressorCoreProcess, kve::dynamics::unityGain<float, 1>,
     agcCompressorCoreSet},
    kVariables);
