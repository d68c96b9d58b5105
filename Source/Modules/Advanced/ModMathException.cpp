// MathException: NaNs and infinities replaced by a chosen value and counted.
#include "Modules/Advanced/ControlModules.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::control;

extern "C" constinit const ClassRecord<3> kve_modMathExceptionClass = makeClass<3>(
    0xBEEF0D0Fu,
    {wired<&kve_modMathExceptionClass, 1, 1>, mathExceptionProcess},
    mathExceptionVariables());
