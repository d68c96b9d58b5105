// MuteUnmuteFract32: the mute-hold-unmute envelope of MuteUnmute in Q1.31.
#include "Modules/Standard/Mutes.h"

namespace {

using namespace kve::kit;
using namespace kve::mutes;

constexpr std::array<Variable, 14> kVariables = muteUnmuteVariables<Fract32>(Type::Fract32);

ClassModule *muteUnmuteFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    return constructMuteUnmute(kve_modMuteUnmuteFract32Class.record, kVariables.data(), kVariables.size(), status,
                               wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<14> kve_modMuteUnmuteFract32Class =
    makeClass<14>(0xBEEF089Bu,
                  {muteUnmuteFract32Constructor, muteUnmuteProcess<Fract32Envelope>, IOMatchUpModule_Bypass,
                   muteUnmuteSet<Fract32Envelope>},
                  kVariables);
