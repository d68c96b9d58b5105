// MuteSync: mutes and unmutes without clicks, fading along a raised cosine that starts at the exact frame a command
// is acted on; the optional second output carries the gain of every frame.
#include "Modules/Advanced/MuteSyncKit.h"

namespace {

using namespace kve::kit;
using namespace kve::mutesync;

constexpr auto kVariables = variables<FloatArithmetic>();

} // namespace

extern "C" constinit const ClassRecord<18> kve_modMuteSyncClass = makeClass<18>(
    0xBEEF0D13u,
    {.constructor = kve::shapes::wired<&kve_modMuteSyncClass, 1, 1>,
     .process = process<FloatArithmetic>,
     .bypass = IOMatchUpModule_Bypass,
     .set = set<FloatArithmetic>},
    kVariables);
