// Derivative: the sample-to-sample difference per second, times a gain.
#include "Modules/Advanced/ControlModules.h"

using namespace kve::kit;
using namespace kve::control;

extern "C" constinit const ClassRecord<2> kve_modDerivativeClass = makeClass<2>(
    0xBEEF0CEBu,
    {built<&kve_modDerivativeClass, derivativeVariables, 1, 1>, derivativeProcess},
    derivativeVariables());
