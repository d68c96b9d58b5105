// DownwardExpanderCore: a gain signal from a level signal that leaves levels at or above threshold + knee alone and
// lowers those below threshold - knee by (ratio - 1) dB per dB, with a quadratic knee joining the two.
#include "Modules/Advanced/DynamicsCores.h"
#include "Modules/Standard/Math.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

struct DownwardExpanderCoreModule {
    ClassModule header;
    float threshold;
    float ratio;
    float kneeWidth;
    float attackTime;
    float releaseTime;
    float lastGain;
    float attackCoeff;
    float releaseCoeff;
    float detector;
    float *knee;
};

using M = DownwardExpanderCoreModule;
constexpr std::array<Variable, 10> kVariables = {
    KVE_VARIABLE(M, threshold, Float),   KVE_VARIABLE(M, ratio, Float),
    KVE_VARIABLE(M, kneeWidth, Float),   KVE_VARIABLE(M, attackTime, Float),
    KVE_VARIABLE(M, releaseTime, Float), KVE_VARIABLE(M, lastGain, Float),
    KVE_VARIABLE(M, attackCoeff, Float), KVE_VARIABLE(M, releaseCoeff, Float),
    KVE_VARIABLE(M, detector, Float),    KVE_ARRAY(M, knee, FloatArray, fixedLength(3)),
};

constexpr float kLog2ToDb = 6.0206f;
constexpr float kDbToLog2 = 0.1660964f;

// 6.0206 log2 |x| from the cubic approximation; below the smallest normal float, the floor.
float levelDb(float x)
{
    const float a = std::fabs(x);
    return a < 1.1754944e-38f ? -758.5956f : kve::math::log2Approx(a) * kLog2ToDb;
}

ClassModule *downwardExpanderCoreConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                             const uint32_t *args)
{
    return construct(kve_modDownwardExpanderCoreClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

float gainOf(const M *s, float level)
{
    const float t = s->threshold;
    const float k = s->kneeWidth;
    if (level >= t + k)
        return 1.0f;
    if (level < t - k)
        return kve::math::pow2Approx(-(s->ratio - 1.0f) * (t - level) * kDbToLog2);
    const float x = (level - t) / k;
    return kve::math::pow2Approx(((s->knee[0] * x + s->knee[1]) * x + s->knee[2]) * kDbToLog2);
}

// After an empty block the last gain stays what it was.
void downwardExpanderCoreProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    auto *y = static_cast<float *>(wire(m, 1)->buffer);
    const int32_t n = monoSamples(m);
    detectLevels(static_cast<const float *>(wire(m, 0)->buffer), y, n, s->detector, s->attackCoeff, s->releaseCoeff);
    for (int32_t i = 0; i < n; ++i)
        y[i] = gainOf(s, levelDb(y[i]));
    if (n > 0)
        s->lastGain = y[n - 1];
}

int32_t downwardExpanderCoreSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<M *>(m);
    if (names(mask, 3))
        s->attackCoeff = perSample(m, s->attackTime);
    if (names(mask, 4))
        s->releaseCoeff = perSample(m, s->releaseTime);
    if (names(mask, 1) || names(mask, 2)) {
        const float c = (1.0f - s->ratio) * s->kneeWidth;
        const bool soft = s->kneeWidth != 0.0f;
        s->knee[0] = soft ? c / 4.0f : 0.0f;
        s->knee[1] = soft ? -c / 2.0f : 1.0f - s->ratio;
        s->knee[2] = soft ? c / 4.0f : 0.0f;
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<10> kve_modDownwardExpanderCoreClass = makeClass<10>(
    0xBEEF0CEFu,
    {downwardExpanderCoreConstructor, downwardExpanderCoreProcess, kve::dynamics::unityGain<float, 1>,
     downwardExpanderCoreSet},
    kVariables);
