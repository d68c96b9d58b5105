// SoloMute: solo and mute over strips (the channels of one input wire, or several input wires), each strip gliding
// to silence or back to 1.0.
#include "Modules/Standard/Mutes.h"

namespace {

using namespace kve::kit;
using namespace kve::mutes;

struct SoloMuteModule {
    ClassModule header;
    int32_t numChannels;
    float smoothingTime;
    float smoothingCoeff;
    int32_t *solo;
    int32_t *mute;
    float *currentGain;
    float *targetGain;
};

// Every array holds one entry per strip; the constructor sets the length.
constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(SoloMuteModule, numChannels, Int),
    KVE_VARIABLE(SoloMuteModule, smoothingTime, Float),
    KVE_VARIABLE(SoloMuteModule, smoothingCoeff, Float),
    KVE_ARRAY_IN(SoloMuteModule, solo, IntArray, fixedLength(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY_IN(SoloMuteModule, mute, IntArray, fixedLength(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY(SoloMuteModule, currentGain, FloatArray, fixedLength(0)),
    KVE_ARRAY(SoloMuteModule, targetGain, FloatArray, fixedLength(0)),
};

// Variable 1, smoothingTime.
constexpr uint32_t kSmoothingTimeChanged = 1u << 9;

ClassModule *soloMuteConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    return constructSoloMute(kve_modSoloMuteClass, kVariables, 0, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modSoloMuteClass =
    makeClass<7>(0xBEEF081Eu,
                 {soloMuteConstructor, soloMuteProcess<SoloMuteModule>, IOMatchUpModule_Bypass,
                  soloMuteSet<float, SoloMuteModule, kSmoothingTimeChanged>},
                 kVariables);
