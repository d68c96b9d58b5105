// Cosh: the hyperbolic cosine of every sample of wire 0 into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modCoshClass =
    plainClass<&kve_modCoshClass, 1, 1>(0xBEEF0856u, oneToOne<map<coshf>>);
