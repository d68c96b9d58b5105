// Exp: e to the power of every sample of wire 0 into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modExpClass =
    plainClass<&kve_modExpClass, 1, 1>(0xBEEF0830u, oneToOne<map<expf>>);
