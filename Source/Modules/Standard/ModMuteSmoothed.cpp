// MuteSmoothed: passes wire 0 to wire 1 through a gain that glides to silence while muted and back to 1.0.
#include "Modules/Standard/Mutes.h"

namespace {

using namespace kve::kit;
using namespace kve::mutes;
using kve::scalers::channels;
using kve::scalers::frames;

struct MuteSmoothedModule {
    ClassModule header;
    int32_t isMuted;
    float smoothingTime;
    float currentGain;
    float smoothingCoeff;
    float targetGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MuteSmoothedModule, isMuted, Int),
    KVE_VARIABLE(MuteSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(MuteSmoothedModule, currentGain, Float),
    KVE_VARIABLE(MuteSmoothedModule, smoothingCoeff, Float),
    KVE_VARIABLE(MuteSmoothedModule, targetGain, Float),
};

ClassModule *muteSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                     const uint32_t *args)
{
    return construct(kve_modMuteSmoothedClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void muteSmoothedProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MuteSmoothedModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    kve_vecScaleSmooth_Nch(data<float>(in), data<float>(out), static_cast<int32_t>(channels(in)), &s->currentGain,
                           s->targetGain, s->smoothingCoeff, frames(in, out));
}

int32_t muteSmoothedSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<MuteSmoothedModule *>(m);
    s->smoothingCoeff = smoothingCoeffOf<float>(s->smoothingTime, wire(m, 0));
    s->targetGain = s->isMuted == 0 ? 1.0f : 0.0f;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMuteSmoothedClass = makeClass<5>(
    0xBEEF081Cu, {muteSmoothedConstructor, muteSmoothedProcess, IOMatchUpModule_Bypass, muteSmoothedSet},
    kVariables);
