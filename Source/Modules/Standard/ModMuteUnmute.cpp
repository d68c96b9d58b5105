// MuteUnmute: on a trigger, fades wire 0 out along a half cosine, holds it silent, fades it back in, into wire 1.
#include "Modules/Standard/Mutes.h"

namespace {

using namespace kve::kit;
using namespace kve::mutes;

constexpr std::array<Variable, 14> kVariables = muteUnmuteVariables<float>(Type::Float);

ClassModule *muteUnmuteConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    return constructMuteUnmute(kve_modMuteUnmuteClass.record, kVariables.data(), kVariables.size(), status, wireWord,
                               wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<14> kve_modMuteUnmuteClass =
    makeClass<14>(0xBEEF081Du,
                  {muteUnmuteConstructor, muteUnmuteProcess<FloatEnvelope>, IOMatchUpModule_Bypass,
                   muteUnmuteSet<FloatEnvelope>},
                  kVariables);
