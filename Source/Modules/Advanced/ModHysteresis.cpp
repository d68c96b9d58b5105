// Hysteresis: a 0 or 1 state per channel that rises above the upper threshold and drops below the lower one; a
// bypassed module keeps switching, since its output is a state, not a signal.
#include "Modules/Advanced/ControlModules.h"

using namespace kve::kit;
using namespace kve::control;

extern "C" constinit const ClassRecord<3> kve_modHysteresisClass = makeClass<3>(
    0xBEEF0D07u,
    {built<&kve_modHysteresisClass, hysteresisVariables, 1, 1>, hysteresisProcess, hysteresisProcess},
    hysteresisVariables());
