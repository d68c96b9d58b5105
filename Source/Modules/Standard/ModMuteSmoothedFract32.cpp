// MuteSmoothedFract32: passes wire 0 to wire 1 through a Q1.31 gain that glides to silence while muted and back to
// full scale.
#include "Modules/Standard/Mutes.h"

namespace {

using namespace kve::kit;
using namespace kve::mutes;

struct MuteSmoothedFract32Module {
    ClassModule header;
    int32_t isMuted;
    float smoothingTime;
    Fract32 currentGain;
    Fract32 smoothingCoeff;
    Fract32 targetGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MuteSmoothedFract32Module, isMuted, Int),
    KVE_VARIABLE(MuteSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(MuteSmoothedFract32Module, currentGain, Fract32),
    KVE_VARIABLE(MuteSmoothedFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(MuteSmoothedFract32Module, targetGain, Fract32),
};

ClassModule *muteSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                            const uint32_t *args)
{
    return construct(kve_modMuteSmoothedFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void muteSmoothedFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<MuteSmoothedFract32Module *>(m);
    glideWholeWire(wire(m, 0), wire(m, 1), &s->currentGain, s->targetGain, s->smoothingCoeff);
}

int32_t muteSmoothedFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<MuteSmoothedFract32Module *>(m);
    s->smoothingCoeff = smoothingCoeffOf<Fract32>(s->smoothingTime, wire(m, 0));
    s->targetGain = s->isMuted == 0 ? kUnity<Fract32> : 0;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMuteSmoothedFract32Class =
    makeClass<5>(0xBEEF08A1u,
                 {muteSmoothedFract32Constructor, muteSmoothedFract32Process, IOMatchUpModule_Bypass,
                  muteSmoothedFract32Set},
                 kVariables);
