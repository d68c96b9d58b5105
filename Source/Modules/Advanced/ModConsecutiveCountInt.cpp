// ConsecutiveCountInt: the last int32 sample and how many equal samples in a row ended with it.
#include "Modules/Advanced/ControlModules.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::control;

extern "C" constinit const ClassRecord<2> kve_modConsecutiveCountIntClass = makeClass<2>(
    0xBEEF0CDAu,
    {wired<&kve_modConsecutiveCountIntClass, 1, 1>, consecutiveCountProcess, consecutiveCountBypass},
    consecutiveCountVariables());
