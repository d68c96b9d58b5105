// TimeOutFract32: the time-out on Fract32 samples, its gains scaled by the layout's gain scale and post-shift.
#include <cmath>

#include "Modules/Advanced/StateControlKit.h"
#include "kve/kve_design.h"
#include "kve/kve_vec_smooth.h"

using namespace kve::kit;
using namespace kve::statecontrol;

namespace {

struct Traits {
    using Sample = Fract32;
    static void fill(Fract32 *o, int32_t n) { kve_vecFillFract32(o, 1, 0, n); }
    static void scaleNch(TimeOutFract32Module *s, const Fract32 *in, Fract32 *out, int32_t n, Fract32 *gain,
                         int32_t frames)
    {
        kve_vecScaleSmooth_NchFract32(in, out, n, gain, s->targetGain, s->postShift, s->smoothingCoeff, frames);
    }
    static void scale(TimeOutFract32Module *s, Fract32 *o, int32_t stride, Fract32 *gain, int32_t frames)
    {
        kve_vecScaleSmoothFract32(o, stride, o, stride, gain, s->targetGain, s->postShift, s->smoothingCoeff, frames);
    }
};

constexpr std::array<Variable, 15> kVariables = {
    KVE_VARIABLE(TimeOutFract32Module, timeout, Float),       KVE_VARIABLE(TimeOutFract32Module, action, Int),
    KVE_VARIABLE(TimeOutFract32Module, gainDb, Float),        KVE_VARIABLE(TimeOutFract32Module, currentGain, Fract32),
    KVE_VARIABLE(TimeOutFract32Module, targetGain, Fract32),  KVE_VARIABLE(TimeOutFract32Module, timeoutParam, Float),
    KVE_VARIABLE(TimeOutFract32Module, bufferLength, Int),    KVE_VARIABLE(TimeOutFract32Module, bufferIndex, Int),
    KVE_VARIABLE(TimeOutFract32Module, blockCounter, Int),    KVE_VARIABLE(TimeOutFract32Module, timeoutBlocks, Int),
    KVE_VARIABLE(TimeOutFract32Module, smoothingTime, Float),
    KVE_VARIABLE(TimeOutFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(TimeOutFract32Module, postShift, Int),       KVE_VARIABLE(TimeOutFract32Module, gainScale, Float),
    KVE_ARRAY(TimeOutFract32Module, buffer, Fract32Array, perArgument(6)),
};

int32_t timeOutSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<TimeOutFract32Module *>(m);
    const GenericWire *first = wire(m, 0);
    if (mask & (1u << 8))
        s->timeoutBlocks = timeoutBlocks(first->sampleRate, s->timeout, blockSize(first));
    if (mask & (1u << 10))
        s->targetGain = kve_advFloatToFract32(std::exp(s->gainDb * 0.115129255f) * s->gainScale);
    s->smoothingCoeff = kve_advFloatToFract32(design_smoother(1, s->smoothingTime, first->sampleRate));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<15> kve_modTimeOutFract32Class = makeClass<15>(
    0xBEEF0D41u,
    {timeOutConstruct<&kve_modTimeOutFract32Class, kVariables>, timeOutProcess<Traits, TimeOutFract32Module>,
     IOMatchUpModule_Bypass, timeOutSet},
    kVariables);
