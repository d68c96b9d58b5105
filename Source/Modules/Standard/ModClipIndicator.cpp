// ClipIndicator: per channel, a block-rate peak envelope and whether it stands above threshold dB.
#include "Modules/Standard/Dynamics.h"
#include "Modules/Standard/Scalers.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct ClipIndicatorModule {
    ClassModule header;
    float threshold;
    float attackTime;
    float releaseTime;
    float thresholdLinear;
    float attackCoeff;
    float releaseCoeff;
    float *envelope;
    int32_t *isClipped;
};

using M = ClipIndicatorModule;
constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(M, threshold, Float),
    KVE_VARIABLE(M, attackTime, Float),
    KVE_VARIABLE(M, releaseTime, Float),
    KVE_VARIABLE(M, thresholdLinear, Float),
    KVE_VARIABLE(M, attackCoeff, Float),
    KVE_VARIABLE(M, releaseCoeff, Float),
    KVE_ARRAY(M, envelope, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(M, isClipped, IntArray, perChannelOfWire(0)),
};

ClassModule *clipIndicatorConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return construct(kve_modClipIndicatorClass, kVariables, 1, 0, status, wireWord, wires, argc, args);
}

void clipIndicatorProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    indicateClips(m, s->envelope, s->isClipped, s->attackCoeff, s->releaseCoeff, s->thresholdLinear);
}

int32_t clipIndicatorSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    s->attackCoeff = kve::scalers::blockSmoother(s->attackTime, wire(m, 0));
    s->releaseCoeff = kve::scalers::blockSmoother(s->releaseTime, wire(m, 0));
    s->thresholdLinear = kve::scalers::undB(s->threshold);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modClipIndicatorClass = makeClass<8>(
    0xBEEF086Au, {clipIndicatorConstructor, clipIndicatorProcess, IOMatchUpModule_Bypass, clipIndicatorSet},
    kVariables);
