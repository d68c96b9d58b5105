// DeadBand: the output moves to the input only when the input leaves the band around the last output.
#include "Modules/Advanced/ControlModules.h"

using namespace kve::kit;
using namespace kve::control;

extern "C" constinit const ClassRecord<4> kve_modDeadBandClass = makeClass<4>(
    0xBEEF0CE0u,
    {built<&kve_modDeadBandClass, deadBandVariables, 1, 1>, deadBandProcess},
    deadBandVariables());
