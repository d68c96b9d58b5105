// RMS: the mean square of every sample of every input, averaged over blocks by a one-pole filter; the running RMS
// goes to the first sample of the output.
#include <cmath>

#include "Modules/Standard/Dynamics.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct RMSModule {
    ClassModule header;
    float averagingTime;
    float blockRms;
    float rms;
    float a1;
    float b0;
    float b1;
    float prevMeanSquare;
    float meanSquare;
};

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(RMSModule, averagingTime, Float), KVE_VARIABLE(RMSModule, blockRms, Float),
    KVE_VARIABLE(RMSModule, rms, Float),           KVE_VARIABLE(RMSModule, a1, Float),
    KVE_VARIABLE(RMSModule, b0, Float),            KVE_VARIABLE(RMSModule, b1, Float),
    KVE_VARIABLE(RMSModule, prevMeanSquare, Float), KVE_VARIABLE(RMSModule, meanSquare, Float),
};

void rmsProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<RMSModule *>(m);
    const Energy<float> e = energyOfInputs<float, float>(m, kve_vecSumSquared);
    const float meanSquare = e.samples == 0 ? NAN : e.sum / static_cast<float>(e.samples);
    const float y = s->b0 * meanSquare + s->b1 * s->prevMeanSquare - s->a1 * s->meanSquare;
    s->prevMeanSquare = meanSquare;
    s->meanSquare = y;
    s->blockRms = std::sqrt(meanSquare);
    s->rms = std::sqrt(y);
    GenericWire *out = wire(m, kve::shapes::inputs(m));
    if (wireWords(out) != 0)
        static_cast<float *>(out->buffer)[0] = s->rms;
}

// The averager is redesigned only when its time is written, so its memory carries on across other writes.
int32_t rmsSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<RMSModule *>(m);
    if (mask & (1u << 8)) {
        const float p = averagingPole(m, s->averagingTime);
        s->a1 = -p;
        s->b0 = 1.0f - p;
        s->b1 = 0.0f;
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modRMSClass = makeClass<8>(
    0xBEEF087Fu, {inputsToOne<&kve_modRMSClass>, rmsProcess, IOMatchUpModule_Bypass, rmsSet}, kVariables);
