// Sinh: the hyperbolic sine of every sample of wire 0 into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modSinhClass =
    plainClass<&kve_modSinhClass, 1, 1>(0xBEEF0858u, oneToOne<map<sinhf>>);
