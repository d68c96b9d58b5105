// DerivativeFract32: the derivative of Fract32 samples; the gain, scaled by 2^-17 to fit a Fract32, is formed in Set.
#include "Modules/Advanced/ControlModules.h"

using namespace kve::kit;
using namespace kve::control;

extern "C" constinit const ClassRecord<3> kve_modDerivativeFract32Class = makeClass<3>(
    0xBEEF0CEAu,
    {built<&kve_modDerivativeFract32Class, derivativeFract32Variables, 1, 1>,
     derivativeFract32Process, IOMatchUpModule_Bypass, derivativeFract32Set},
    derivativeFract32Variables());
