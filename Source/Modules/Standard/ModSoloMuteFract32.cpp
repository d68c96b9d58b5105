// SoloMuteFract32: solo and mute over strips (the channels of one input wire, or several input wires), each strip
// gliding to silence or back to full scale in Q1.31.
#include "Modules/Standard/Mutes.h"

namespace {

using namespace kve::kit;
using namespace kve::mutes;

struct SoloMuteFract32Module {
    ClassModule header;
    float smoothingTime;
    int32_t numChannels;
    Fract32 smoothingCoeff;
    int32_t *solo;
    int32_t *mute;
    Fract32 *currentGain;
    Fract32 *targetGain;
};

// Every array holds one entry per strip; the constructor sets the length.
constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(SoloMuteFract32Module, smoothingTime, Float),
    KVE_VARIABLE(SoloMuteFract32Module, numChannels, Int),
    KVE_VARIABLE(SoloMuteFract32Module, smoothingCoeff, Fract32),
    KVE_ARRAY_IN(SoloMuteFract32Module, solo, IntArray, fixedLength(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY_IN(SoloMuteFract32Module, mute, IntArray, fixedLength(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY(SoloMuteFract32Module, currentGain, Fract32Array, fixedLength(0)),
    KVE_ARRAY(SoloMuteFract32Module, targetGain, Fract32Array, fixedLength(0)),
};

// Variable 0, smoothingTime.
constexpr uint32_t kSmoothingTimeChanged = 1u << 8;

ClassModule *soloMuteFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return constructSoloMute(kve_modSoloMuteFract32Class, kVariables, 1, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modSoloMuteFract32Class =
    makeClass<7>(0xBEEF08B6u,
                 {soloMuteFract32Constructor, soloMuteProcess<SoloMuteFract32Module>, IOMatchUpModule_Bypass,
                  soloMuteSet<Fract32, SoloMuteFract32Module, kSmoothingTimeChanged>},
                 kVariables);
