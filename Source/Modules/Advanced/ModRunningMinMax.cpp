// RunningMinMax: the largest, smallest or largest-magnitude sample since the last reset.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<3> kve_modRunningMinMaxClass = makeClass<3>(
    0xBEEF0D20u,
    {wired<&kve_modRunningMinMaxClass, 1, 0>, runningMinMaxProcess<float>},
    runningMinMaxVariables<float>());
