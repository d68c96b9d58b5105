// Atan: the arc tangent, in radians, of every sample of wire 0 into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modAtanClass =
    plainClass<&kve_modAtanClass, 1, 1>(0xBEEF0853u, oneToOne<map<atanf>>);
