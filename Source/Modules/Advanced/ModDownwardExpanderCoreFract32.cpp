// DownwardExpanderCoreFract32: the downward expander's gain signal in fixed point. Levels, the slope and the knee
// polynomial are carried in dB x 2^-13 (Q31), so levels reach +-8192 dB; products are Q31, rounding toward minus
// infinity, and sums saturate.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

struct DownwardExpanderCoreFract32Module {
    ClassModule header;
    float threshold;
    float ratio;
    float kneeWidth;
    float attackTime;
    float releaseTime;
    Fract32 lastGain;
    Fract32 thresholdQ;
    Fract32 slopeQ;
    Fract32 kneeQ;
    Fract32 detector;
    Fract32 attackCoeff;
    Fract32 releaseCoeff;
    Fract32 lastLevel;
    Fract32 *knee;
};

using M = DownwardExpanderCoreFract32Module;
constexpr std::array<Variable, 14> kVariables = {
    KVE_VARIABLE(M, threshold, Float),     KVE_VARIABLE(M, ratio, Float),
    KVE_VARIABLE(M, kneeWidth, Float),     KVE_VARIABLE(M, attackTime, Float),
    KVE_VARIABLE(M, releaseTime, Float),   KVE_VARIABLE(M, lastGain, Fract32),
    KVE_VARIABLE(M, thresholdQ, Fract32),  KVE_VARIABLE(M, slopeQ, Fract32),
    KVE_VARIABLE(M, kneeQ, Fract32),       KVE_VARIABLE(M, detector, Fract32),
    KVE_VARIABLE(M, attackCoeff, Fract32), KVE_VARIABLE(M, releaseCoeff, Fract32),
    KVE_VARIABLE(M, lastLevel, Fract32),   KVE_ARRAY(M, knee, Fract32Array, fixedLength(3)),
};

constexpr float kScale = 0x1p-13f;
constexpr int32_t kLevelBits = 14; // integer bits of a level in dB x 2^-13

Fract32 sat(int64_t v) { return kve_saturate64(v); }

// The gain, Q31, of a level in dB x 2^-13: by the line below threshold - knee, the knee polynomial in
// x = (level - threshold) / knee up to threshold + knee, unity above.
Fract32 gainOf(const M *s, Fract32 level)
{
    const Fract32 t = s->thresholdQ;
    const Fract32 k = s->kneeQ;
    if (level >= sat(int64_t{t} + k))
        return INT32_MAX;
    Fract32 db = 0;
    if (level < sat(int64_t{t} - k)) {
        db = sat(int64_t{kve_mulFract32(s->slopeQ, sat(int64_t{t} - level))} * 8192);
    } else {
        // Here t - k <= level < t + k, so k > 0 and |x| <= 1.
        const Fract32 x = sat((int64_t{level} - t) * (int64_t{1} << 31) / k);
        db = sat(int64_t{kve_mulFract32(s->knee[0], x)} + s->knee[1]);
        db = sat(int64_t{kve_mulFract32(db, x)} + s->knee[2]);
    }
    // dB x 2^-13 in Q31 is dB with 18 fraction bits; the power kernel takes 24 and gives a Q24 linear gain.
    const Fract32 db24 = sat(int64_t{db} * 64);
    Fract32 linear = 0;
    kve_vecDBToLinearFract32(&db24, &linear, 1);
    return sat(int64_t{linear} * 128);
}

ClassModule *downwardExpanderCoreFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                    uint32_t argc, const uint32_t *args)
{
    return construct(kve_modDownwardExpanderCoreFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// After an empty block the last gain and level stay what they were.
void downwardExpanderCoreFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    auto *y = static_cast<Fract32 *>(wire(m, 1)->buffer);
    const int32_t n = monoSamples(m);
    detectLevels(static_cast<const Fract32 *>(wire(m, 0)->buffer), y, n, s->detector, s->attackCoeff,
                 s->releaseCoeff);
    for (int32_t i = 0; i < n; ++i) {
        Fract32 level = 0;
        kve_vecLinearToDBFract32(&y[i], &level, 1, 1, kLevelBits);
        s->lastLevel = level;
        y[i] = gainOf(s, level);
    }
    if (n > 0)
        s->lastGain = y[n - 1];
}

int32_t downwardExpanderCoreFract32Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<M *>(m);
    if (names(mask, 0))
        s->thresholdQ = kve_advFloatToFract32(s->threshold * kScale);
    if (names(mask, 1))
        s->slopeQ = kve_advFloatToFract32((1.0f - s->ratio) * kScale);
    if (names(mask, 1) || names(mask, 2)) {
        s->kneeQ = kve_advFloatToFract32(s->kneeWidth * kScale);
        const float c = (1.0f - s->ratio) * s->kneeWidth;
        const bool soft = s->kneeWidth != 0.0f;
        s->knee[0] = soft ? kve_advFloatToFract32(c / 4.0f * kScale) : 0;
        s->knee[1] = kve_advFloatToFract32((soft ? -c / 2.0f : 1.0f - s->ratio) * kScale);
        s->knee[2] = soft ? kve_advFloatToFract32(c / 4.0f * kScale) : 0;
    }
    if (names(mask, 3))
        s->attackCoeff = kve_advFloatToFract32(perSample(m, s->attackTime));
    if (names(mask, 4))
        s->releaseCoeff = kve_advFloatToFract32(perSample(m, s->releaseTime));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<14> kve_modDownwardExpanderCoreFract32Class = makeClass<14>(
    0xBEEF0CEEu,
    {downwardExpanderCoreFract32Constructor, downwardExpanderCoreFract32Process,
     kve::dynamics::unityGain<Fract32, 0x7FFFFFFF>, downwardExpanderCoreFract32Set},
    kVariables);
