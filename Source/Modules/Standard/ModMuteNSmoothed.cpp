// MuteNSmoothed: passes each channel of wire 0 to wire 1 through its own gain, gliding to silence while that
// channel is muted and back to 1.0.
#include "Modules/Standard/Mutes.h"

namespace {

using namespace kve::kit;
using namespace kve::mutes;

struct MuteNSmoothedModule {
    ClassModule header;
    float smoothingTime;
    float smoothingCoeff;
    int32_t *isMuted;
    float *currentGain;
    float *targetGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MuteNSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(MuteNSmoothedModule, smoothingCoeff, Float),
    KVE_ARRAY_IN(MuteNSmoothedModule, isMuted, IntArray, perChannelOfWire(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY(MuteNSmoothedModule, currentGain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(MuteNSmoothedModule, targetGain, FloatArray, perChannelOfWire(0)),
};

ClassModule *muteNSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return construct(kve_modMuteNSmoothedClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMuteNSmoothedClass =
    makeClass<5>(0xBEEF081Bu,
                 {muteNSmoothedConstructor, channelMuteProcess<MuteNSmoothedModule>, IOMatchUpModule_Bypass,
                  channelMuteSet<float, MuteNSmoothedModule>},
                 kVariables);
