// Log2: the base-2 logarithm of every sample of wire 0 into wire 1, as ln x / ln 2.
#include "Modules/Standard/Math.h"

using namespace kve::math;

constexpr float kLog2OfE = 1.4426950216293335f;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modLog2Class =
    plainClass<&kve_modLog2Class, 1, 1>(0xBEEF0837u, oneToOne<map<logTimes<kLog2OfE>>>);
