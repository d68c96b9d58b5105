// AGCCompressorCoreFract32: the compressor's gain signal in bit-exact fixed point. Levels are carried in dB / 128
// (Q31); products are Q31 (the 64-bit product shifted right 31, toward minus infinity) and every sum and difference
// saturates to the 32-bit range.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

struct AGCCompressorCoreFract32Module {
    ClassModule header;
    float threshold;
    float gainOffset;
    float ratio;
    float attackTime;
    float attackSampleTime;
    float releaseTime;
    float releaseSampleTime;
    Fract32 currentGain;
    Fract32 thresholdQ;
    Fract32 gainOffsetQ;
    Fract32 slopeQ;
    float reserved;
    Fract32 attackBlockCoeff;
    Fract32 attackSampleCoeff;
    Fract32 releaseBlockCoeff;
    Fract32 releaseSampleCoeff;
    Fract32 levelState;
};

using M = AGCCompressorCoreFract32Module;
constexpr std::array<Variable, 17> kVariables = {
    KVE_VARIABLE(M, threshold, Float),           KVE_VARIABLE(M, gainOffset, Float),
    KVE_VARIABLE(M, ratio, Float),               KVE_VARIABLE(M, attackTime, Float),
    KVE_VARIABLE(M, attackSampleTime, Float),    KVE_VARIABLE(M, releaseTime, Float),
    KVE_VARIABLE(M, releaseSampleTime, Float),   KVE_VARIABLE(M, currentGain, Fract32),
    KVE_VARIABLE(M, thresholdQ, Fract32),        KVE_VARIABLE(M, gainOffsetQ, Fract32),
    KVE_VARIABLE(M, slopeQ, Fract32),            KVE_VARIABLE(M, reserved, Float),
    KVE_VARIABLE(M, attackBlockCoeff, Fract32),  KVE_VARIABLE(M, attackSampleCoeff, Fract32),
    KVE_VARIABLE(M, releaseBlockCoeff, Fract32), KVE_VARIABLE(M, releaseSampleCoeff, Fract32),
    KVE_VARIABLE(M, levelState, Fract32),
};

constexpr float kDbScale = 0.0078125f; // levels are kept in dB / 128

Fract32 mul(Fract32 a, Fract32 b) { return kve_mulFract32(a, b); }
Fract32 sat(int64_t v) { return kve_saturate64(v); }

// The level of the state in dB / 128 (8 integer bits in, as Q1.31 in), and the linear gain of a level in dB / 128
// with 24 fraction bits, as the sample smoother expects it.
Fract32 levelOf(Fract32 state)
{
    Fract32 level = 0;
    kve_vecLinearToDBFract32(&state, &level, 1, 1, 8);
    return level;
}
Fract32 linearOf(Fract32 level)
{
    Fract32 gain = 0;
    kve_vecDBToLinearFract32(&level, &gain, 1);
    return gain;
}

// The gain reduction of a level over the threshold: slope x over x 256, high word, low 7 bits cleared.
Fract32 reductionOf(Fract32 over, Fract32 slope)
{
    if (over <= 0)
        return 0;
    return static_cast<Fract32>(static_cast<uint32_t>(sat((int64_t{slope} * over) >> 24)) & ~0x7Fu);
}

ClassModule *agcCompressorCoreFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                 uint32_t argc, const uint32_t *args)
{
    return construct(kve_modAGCCompressorCoreFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void agcCompressorCoreFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const auto *x = static_cast<const Fract32 *>(wire(m, 0)->buffer);
    auto *y = static_cast<Fract32 *>(wire(m, 1)->buffer);
    const int32_t n = monoSamples(m);
    Fract32 peak = 0;
    for (int32_t i = 0; i < n; ++i)
        peak = std::max(peak, x[i]);
    const bool attack = s->levelState < peak;
    const Fract32 blockCoeff = attack ? s->attackBlockCoeff : s->releaseBlockCoeff;
    const Fract32 sampleCoeff = attack ? s->attackSampleCoeff : s->releaseSampleCoeff;
    s->levelState = sat(int64_t{s->levelState} +
                        sat(int64_t{mul(peak, blockCoeff)} - mul(s->levelState, blockCoeff)));
    const Fract32 over = sat(int64_t{levelOf(s->levelState)} - s->thresholdQ);
    const Fract32 gainLevel = sat(int64_t{s->gainOffsetQ} - reductionOf(over, s->slopeQ));
    const Fract32 target = linearOf(gainLevel);
    const Fract32 pull = sat(int64_t{mul(target, sampleCoeff)} << 7);
    Fract32 g = s->currentGain;
    for (int32_t i = 0; i < n; ++i) {
        g = sat(int64_t{g} + sat(int64_t{pull} - mul(g, sampleCoeff)));
        y[i] = g;
    }
    s->currentGain = g;
}

int32_t agcCompressorCoreFract32Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<M *>(m);
    const GenericWire *in = wire(m, 0);
    const auto block = static_cast<int32_t>(blockSize(in));
    s->thresholdQ = kve_advFloatToFract32(s->threshold * kDbScale);
    s->gainOffsetQ = kve_advFloatToFract32(s->gainOffset * kDbScale);
    if (names(mask, 2))
        s->slopeQ = kve_advFloatToFract32((1.0f - 1.0f / s->ratio) * kDbScale);
    if (names(mask, 3)) {
        const CompressorTimes t = compressorTimes(m, s->attackTime, s->attackSampleTime);
        s->attackBlockCoeff = kve_advFloatToFract32(design_smoother(block, t.blockTime, in->sampleRate));
        s->attackSampleCoeff = kve_advFloatToFract32(design_smoother(1, t.sampleTime, in->sampleRate));
    }
    if (names(mask, 5)) {
        const CompressorTimes t = compressorTimes(m, s->releaseTime, s->releaseSampleTime);
        s->releaseBlockCoeff = kve_advFloatToFract32(design_smoother(block, t.blockTime, in->sampleRate));
        s->releaseSampleCoeff = kve_advFloatToFract32(design_smoother(1, t.sampleTime, in->sampleRate));
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<17> kve_modAGCCompressorCoreFract32Class = makeClass<17>(
    0xBEEF0CB2u,
    {agcCompressorCoreFract32Constructor, agcCompressorCoreFract32Process,
     kve::dynamics::unityGain<Fract32, 0x7FFFFFFF>, agcCompressorCoreFract32Set},
    kVariables);
