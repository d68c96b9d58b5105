// RunningMinMaxFract32: the running extreme of Fract32 samples, compared as signed integers.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<3> kve_modRunningMinMaxFract32Class = makeClass<3>(
    0xBEEF0D1Fu,
    {wired<&kve_modRunningMinMaxFract32Class, 1, 0>, runningMinMaxProcess<Fract32>},
    runningMinMaxVariables<Fract32>());
