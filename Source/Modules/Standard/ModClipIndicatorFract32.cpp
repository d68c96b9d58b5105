// ClipIndicatorFract32: per channel, a block-rate Fract32 peak envelope and whether it stands above threshold dB.
#include "Modules/Standard/Dynamics.h"
#include "Modules/Standard/Scalers.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct ClipIndicatorFract32Module {
    ClassModule header;
    float threshold;
    float attackTime;
    float releaseTime;
    int32_t thresholdFract32;
    int32_t attackCoeffFract32;
    int32_t releaseCoeffFract32;
    Fract32 *envelope;
    int32_t *isClipped;
};

using M = ClipIndicatorFract32Module;
constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(M, threshold, Float),
    KVE_VARIABLE(M, attackTime, Float),
    KVE_VARIABLE(M, releaseTime, Float),
    KVE_VARIABLE(M, thresholdFract32, Int),
    KVE_VARIABLE(M, attackCoeffFract32, Int),
    KVE_VARIABLE(M, releaseCoeffFract32, Int),
    KVE_ARRAY(M, envelope, Fract32Array, perChannelOfWire(0)),
    KVE_ARRAY(M, isClipped, IntArray, perChannelOfWire(0)),
};

ClassModule *clipIndicatorFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                             const uint32_t *args)
{
    return construct(kve_modClipIndicatorFract32Class, kVariables, 1, 0, status, wireWord, wires, argc, args);
}

void clipIndicatorFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    indicateClips(m, s->envelope, s->isClipped, s->attackCoeffFract32, s->releaseCoeffFract32, s->thresholdFract32);
}

int32_t clipIndicatorFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    s->attackCoeffFract32 = kve_rounded(kve::scalers::blockSmoother(s->attackTime, wire(m, 0)));
    s->releaseCoeffFract32 = kve_rounded(kve::scalers::blockSmoother(s->releaseTime, wire(m, 0)));
    s->thresholdFract32 = kve_rounded(kve::scalers::undB(s->threshold));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modClipIndicatorFract32Class = makeClass<8>(
    0xBEEF088Au,
    {clipIndicatorFract32Constructor, clipIndicatorFract32Process, IOMatchUpModule_Bypass, clipIndicatorFract32Set},
    kVariables);
