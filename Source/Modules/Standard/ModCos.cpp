// Cos: the cosine of every sample of wire 0 (radians) into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modCosClass =
    plainClass<&kve_modCosClass, 1, 1>(0xBEEF0855u, oneToOne<map<cosf>>);
