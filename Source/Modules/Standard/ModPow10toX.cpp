// Pow10toX: 10 to the power of every sample of wire 0 into wire 1, as e^(x ln 10).
#include "Modules/Standard/Math.h"

using namespace kve::math;

constexpr float kLnOf10 = 2.3025851249694824f;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modPow10toXClass =
    plainClass<&kve_modPow10toXClass, 1, 1>(0xBEEF083Bu, oneToOne<map<expOfTimes<kLnOf10>>>);
