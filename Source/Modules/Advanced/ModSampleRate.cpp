// SampleRate: measures the real block rate against the real-time clock over a period of blocks and reports it once
// three estimates in a row agree, snapped to the nearest allowed rate.
#include <algorithm>
#include <cmath>

#include "Modules/Advanced/AdvancedKit.h"
#include "Modules/Advanced/RateModules.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::rate;

namespace {

constexpr std::array<Variable, 13> kVariables = {
    KVE_VARIABLE(SampleRateModule, timeScale, Float),     KVE_VARIABLE(SampleRateModule, period, Int),
    KVE_VARIABLE(SampleRateModule, timeStamp, Int),       KVE_VARIABLE(SampleRateModule, accumulated, Int),
    KVE_VARIABLE(SampleRateModule, numRates, Int),        KVE_VARIABLE(SampleRateModule, running, Int),
    KVE_VARIABLE(SampleRateModule, locked, Int),          KVE_VARIABLE(SampleRateModule, measuredRate, Float),
    KVE_VARIABLE(SampleRateModule, lastEstimate, Float),  KVE_VARIABLE(SampleRateModule, estimateBefore, Float),
    KVE_VARIABLE(SampleRateModule, outputEnable, Int),    KVE_VARIABLE(SampleRateModule, countdown, Int),
    KVE_ARRAY(SampleRateModule, allowedRates, FloatArray, perArgument(4)),
};

// The allowed rate nearest to the estimate, the earlier on a tie; the estimate itself with no table or when the
// nearest entry is 0.
float snap(ClassModule *m, float estimate)
{
    auto *s = reinterpret_cast<SampleRateModule *>(m);
    const int64_t n = std::min<int64_t>(s->numRates, capacity(m, 0));
    if (n < 1 || s->allowedRates == nullptr)
        return estimate;
    int64_t best = 0;
    for (int64_t i = 1; i < n; ++i)
        if (std::fabs(s->allowedRates[i] - estimate) < std::fabs(s->allowedRates[best] - estimate))
            best = i;
    return s->allowedRates[best] == 0.0f ? estimate : s->allowedRates[best];
}

void estimate(ClassModule *m, uint32_t elapsed)
{
    auto *s = reinterpret_cast<SampleRateModule *>(m);
    // A period that took no measurable time says nothing about the rate.
    if (elapsed == 0)
        return;
    const double blocks = static_cast<double>(blockSize(wire(m, 0))) * s->period;
    float e = static_cast<float>(static_cast<double>(s->timeScale) * 1e6 * blocks / elapsed);
    if (e == 0.0f) {
        s->locked = 0;
    } else {
        e = snap(m, e);
    }
    if (s->lastEstimate == e && s->estimateBefore == e) {
        s->measuredRate = e;
        s->locked = 1;
    }
    s->estimateBefore = s->lastEstimate;
    s->lastEstimate = e;
}

void sampleRateProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SampleRateModule *>(m);
    const uint32_t t = kve_fwReadClock();
    if (s->running == 0) {
        s->timeStamp = t;
        s->running = 1;
        s->locked = 0;
        s->accumulated = 0;
        s->measuredRate = wire(m, 0)->sampleRate;
        s->countdown = s->period;
    } else if (s->countdown >= 1) {
        s->accumulated += t - s->timeStamp;
        s->timeStamp = t;
    } else {
        const uint32_t elapsed = s->accumulated + (t - s->timeStamp);
        s->countdown = s->period;
        s->timeStamp = t;
        s->accumulated = 0;
        estimate(m, elapsed);
    }
    s->countdown -= 1;
    if (s->outputEnable != 0)
        static_cast<int32_t *>(wire(m, 1)->buffer)[0] = kve_advTruncateToInt32(s->measuredRate);
}

ClassModule *sampleRateConstruct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    return construct(kve_modSampleRateClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<13> kve_modSampleRateClass =
    makeClass<13>(0xBEEF0D26u, {sampleRateConstruct, sampleRateProcess}, kVariables);
