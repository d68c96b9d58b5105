// Log10: the base-10 logarithm of every sample of wire 0 into wire 1, as ln x / ln 10.
#include "Modules/Standard/Math.h"

using namespace kve::math;

constexpr float kLog10OfE = 0.4342944920063019f;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modLog10Class =
    plainClass<&kve_modLog10Class, 1, 1>(0xBEEF0836u, oneToOne<map<logTimes<kLog10OfE>>>);
