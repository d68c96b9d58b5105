// InvertN: per channel (or per wire) a gain of 1 or -1, reached smoothly.
#include "Modules/Advanced/ControlModules.h"

using namespace kve::kit;
using namespace kve::control;

extern "C" constinit const ClassRecord<6> kve_modInvertNClass = makeClass<6>(
    0xBEEF0D0Bu,
    {built<&kve_modInvertNClass, invertNVariables, 1, 1>, invertNProcess, IOMatchUpModule_Bypass, invertNSet},
    invertNVariables());
