// Tanh: the hyperbolic tangent of every sample of wire 0 into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modTanhClass =
    plainClass<&kve_modTanhClass, 1, 1>(0xBEEF085Au, oneToOne<map<tanhf>>);
