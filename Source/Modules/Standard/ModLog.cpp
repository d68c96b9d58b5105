// Log: the natural logarithm of every sample of wire 0 into wire 1 (minus infinity for 0, NaN below).
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modLogClass =
    plainClass<&kve_modLogClass, 1, 1>(0xBEEF0835u, oneToOne<map<logf>>);
