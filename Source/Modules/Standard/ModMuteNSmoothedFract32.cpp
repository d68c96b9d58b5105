// MuteNSmoothedFract32: passes each channel of wire 0 to wire 1 through its own Q1.31 gain, gliding to silence
// while that channel is muted and back to full scale.
#include "Modules/Standard/Mutes.h"

namespace {

using namespace kve::kit;
using namespace kve::mutes;

struct MuteNSmoothedFract32Module {
    ClassModule header;
    float smoothingTime;
    Fract32 smoothingCoeff;
    int32_t *isMuted;
    Fract32 *currentGain;
    Fract32 *targetGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MuteNSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(MuteNSmoothedFract32Module, smoothingCoeff, Fract32),
    KVE_ARRAY_IN(MuteNSmoothedFract32Module, isMuted, IntArray, perChannelOfWire(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY(MuteNSmoothedFract32Module, currentGain, Fract32Array, perChannelOfWire(0)),
    KVE_ARRAY(MuteNSmoothedFract32Module, targetGain, Fract32Array, perChannelOfWire(0)),
};

ClassModule *muteNSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                             uint32_t argc, const uint32_t *args)
{
    return construct(kve_modMuteNSmoothedFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMuteNSmoothedFract32Class =
    makeClass<5>(0xBEEF08A3u,
                 {muteNSmoothedFract32Constructor, channelMuteProcess<MuteNSmoothedFract32Module>,
                  IOMatchUpModule_Bypass, channelMuteSet<Fract32, MuteNSmoothedFract32Module>},
                 kVariables);
