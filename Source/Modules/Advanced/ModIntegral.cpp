// Integral: a running sum of the input over the integral time.
#include "Modules/Advanced/ControlModules.h"

using namespace kve::kit;
using namespace kve::control;

extern "C" constinit const ClassRecord<2> kve_modIntegralClass = makeClass<2>(
    0xBEEF0D0Au,
    {built<&kve_modIntegralClass, integralVariables, 1, 1>, integralProcess},
    integralVariables());
