// Asin: the arc sine, in radians, of every sample of wire 0 into wire 1 (NaN outside [-1, 1]).
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modAsinClass =
    plainClass<&kve_modAsinClass, 1, 1>(0xBEEF0852u, oneToOne<map<asinf>>);
