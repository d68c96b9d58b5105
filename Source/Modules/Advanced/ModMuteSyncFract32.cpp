// MuteSyncFract32: the mute synchroniser on Fract32 audio, its gain and phasor in Q31 (1.0 = 0x7FFFFFFF) and every
// product rounded toward minus infinity, so the gain sequence is the same word for word on every processor.
#include "Modules/Advanced/MuteSyncKit.h"

namespace {

using namespace kve::kit;
using namespace kve::mutesync;

constexpr auto kVariables = variables<Fract32Arithmetic>();

} // namespace

extern "C" constinit const ClassRecord<18> kve_modMuteSyncFract32Class = makeClass<18>(
    0xBEEF0D12u,
    {.constructor = kve::shapes::wired<&kve_modMuteSyncFract32Class, 1, 1>,
     .process = process<Fract32Arithmetic>,
     .bypass = IOMatchUpModule_Bypass,
     .set = set<Fract32Arithmetic>},
    kVariables);
