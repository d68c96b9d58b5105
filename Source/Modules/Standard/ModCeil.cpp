// Ceil: every sample of wire 0 rounded up to a whole number, into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modCeilClass =
    plainClass<&kve_modCeilClass, 1, 1>(0xBEEF082Eu, oneToOne<map<ceilf>>);
