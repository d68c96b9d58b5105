// TimeOut: passes its inputs for a set number of blocks, then silences them, rescales them by a smoothed gain or
// replaces them by a stored buffer.
#include <cmath>

#include "Modules/Advanced/StateControlKit.h"
#include "kve/kve_design.h"
#include "kve/kve_vec_smooth.h"

using namespace kve::kit;
using namespace kve::statecontrol;

namespace {

struct Traits {
    using Sample = float;
    static void fill(float *o, int32_t n) { kve_vecFill(o, 1, 0.0f, n); }
    static void scaleNch(TimeOutModule *s, const float *in, float *out, int32_t n, float *gain, int32_t frames)
    {
        kve_vecScaleSmooth_Nch(in, out, n, gain, s->targetGain, s->smoothingCoeff, frames);
    }
    static void scale(TimeOutModule *s, float *o, int32_t stride, float *gain, int32_t frames)
    {
        kve_vecScaleSmooth(o, stride, o, stride, gain, s->targetGain, s->smoothingCoeff, frames);
    }
};

constexpr std::array<Variable, 13> kVariables = {
    KVE_VARIABLE(TimeOutModule, timeout, Float),        KVE_VARIABLE(TimeOutModule, action, Int),
    KVE_VARIABLE(TimeOutModule, gainDb, Float),         KVE_VARIABLE(TimeOutModule, currentGain, Float),
    KVE_VARIABLE(TimeOutModule, targetGain, Float),     KVE_VARIABLE(TimeOutModule, timeoutParam, Float),
    KVE_VARIABLE(TimeOutModule, bufferLength, Int),     KVE_VARIABLE(TimeOutModule, bufferIndex, Int),
    KVE_VARIABLE(TimeOutModule, blockCounter, Int),     KVE_VARIABLE(TimeOutModule, timeoutBlocks, Int),
    KVE_VARIABLE(TimeOutModule, smoothingTime, Float),  KVE_VARIABLE(TimeOutModule, smoothingCoeff, Float),
    KVE_ARRAY(TimeOutModule, buffer, FloatArray, perArgument(6)),
};

int32_t timeOutSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<TimeOutModule *>(m);
    const GenericWire *first = wire(m, 0);
    if (mask & (1u << 8))
        s->timeoutBlocks = timeoutBlocks(first->sampleRate, s->timeout, blockSize(first));
    if (mask & (1u << 10))
        s->targetGain = std::exp(s->gainDb * 0.115129255f);
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, first->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<13> kve_modTimeOutClass = makeClass<13>(
    0xBEEF0D42u,
    {timeOutConstruct<&kve_modTimeOutClass, kVariables>, timeOutProcess<Traits, TimeOutModule>,
     IOMatchUpModule_Bypass, timeOutSet},
    kVariables);
