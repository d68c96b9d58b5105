// PeriodicFunctionGen: one of a sine, square, triangle, sawtooth or impulse train at `freq`, scaled by `amplitude`
// and moved by `phaseDeg`. The running phases never include the offset, so moving the wave leaves them undisturbed.
#include <cmath>

#include "Modules/Standard/Generators.h"
#include "kve/kve_vec_arith.h"
#include "kve/kve_vec_smooth.h"

namespace {

using namespace kve::kit;
using namespace kve::generators;

struct PeriodicFunctionGenModule {
    ClassModule header;
    int32_t waveform;
    float freq;
    float amplitude;
    float phaseDeg;
    float phaseRad;
    float sinePhase;
    float phaseInc;
    int32_t impulsePeriod;
    int32_t impulsePos;
    float trianglePhase;
    float triangleInc;
    float sawPhase;
    float sawInc;
};

constexpr std::array<Variable, 13> kVariables = {
    KVE_VARIABLE(PeriodicFunctionGenModule, waveform, Int),
    KVE_VARIABLE(PeriodicFunctionGenModule, freq, Float),
    KVE_VARIABLE(PeriodicFunctionGenModule, amplitude, Float),
    KVE_VARIABLE(PeriodicFunctionGenModule, phaseDeg, Float),
    KVE_VARIABLE(PeriodicFunctionGenModule, phaseRad, Float),
    KVE_VARIABLE(PeriodicFunctionGenModule, sinePhase, Float),
    KVE_VARIABLE(PeriodicFunctionGenModule, phaseInc, Float),
    KVE_VARIABLE(PeriodicFunctionGenModule, impulsePeriod, Int),
    KVE_VARIABLE(PeriodicFunctionGenModule, impulsePos, Int),
    KVE_VARIABLE(PeriodicFunctionGenModule, trianglePhase, Float),
    KVE_VARIABLE(PeriodicFunctionGenModule, triangleInc, Float),
    KVE_VARIABLE(PeriodicFunctionGenModule, sawPhase, Float),
    KVE_VARIABLE(PeriodicFunctionGenModule, sawInc, Float),
};

enum Waveform : int32_t { kSine, kSquare, kTriangle, kSawtooth, kImpulseTrain };

constexpr float kTwoPi = 6.2831855f;
constexpr float kRadiansPerDegree = 0.017453294f;
// The phase offset in the triangle's and the sawtooth's phase units, which run 4 and 2 per cycle: an offset moves
// every waveform by the same part of a cycle (2 pi radians is one whole cycle).
constexpr float kTriangleOffsetPerRadian = 0.63661977f;
constexpr float kSawOffsetPerRadian = 0.31830987f;

// A triangle or sawtooth phase with an offset added, brought back into the one period around zero that the wave
// kernels take (they correct a phase by one period per sample only).
float inPeriod(float phase, float period) { return std::remainder(phase, period); }

void periodicFunctionGenProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<PeriodicFunctionGenModule *>(m);
    float *y = generated<float>(m);
    const int32_t n = generatedSamples(m);
    std::fill(y, y + n, 0.0f);
    switch (s->waveform) {
    case kSine:
        s->sinePhase += s->phaseRad;
        kve_vecSineGenSmoothed(y, &s->sinePhase, &s->phaseInc, s->phaseInc, 1.0f, n);
        s->sinePhase -= s->phaseRad;
        break;
    case kSquare:
        s->sinePhase += s->phaseRad;
        kve_vecSquareWaveGen(y, &s->sinePhase, n, s->phaseInc);
        s->sinePhase -= s->phaseRad;
        break;
    case kTriangle: {
        const float offset = s->phaseRad * kTriangleOffsetPerRadian;
        float phase = inPeriod(s->trianglePhase + offset, 4.0f);
        kve_vecTriangleWaveGen(y, &phase, n, s->triangleInc);
        s->trianglePhase = inPeriod(phase - offset, 4.0f);
        break;
    }
    case kSawtooth: {
        const float offset = s->phaseRad * kSawOffsetPerRadian;
        s->sawPhase = inPeriod(kve_vecSawTooth(y, n, inPeriod(s->sawPhase + offset, 2.0f), s->sawInc) - offset, 2.0f);
        break;
    }
    case kImpulseTrain:
        impulseTrain(y, n, s->impulsePeriod, s->impulsePos, false);
        break;
    default:
        break;
    }
    kve_vecScale(y, 1, y, 1, s->amplitude, n);
}

int32_t periodicFunctionGenSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<PeriodicFunctionGenModule *>(m);
    const float fs = wire(m, 0)->sampleRate;
    if (mask & (1u << 9)) {
        // A frequency above the sample rate gives a period below 1 (silence); none at all, the longest period.
        s->impulsePeriod = kve_truncateToInt32(std::floor(fs / s->freq));
        s->phaseInc = s->freq * kTwoPi / fs;
        s->sawInc = 2.0f * s->freq / fs;
        s->triangleInc = 4.0f * s->freq / fs;
    }
    if (mask & (1u << 11))
        s->phaseRad = s->phaseDeg * kRadiansPerDegree;
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<13> kve_modPeriodicFunctionGenClass = makeClass<13>(
    0xBEEF0876u,
    {kve::shapes::wired<&kve_modPeriodicFunctionGenClass, 0, 1>, periodicFunctionGenProcess, IOMatchUpModule_Bypass,
     periodicFunctionGenSet},
    kVariables);
