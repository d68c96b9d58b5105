// Sin: the sine of every sample of wire 0 (radians) into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modSinClass =
    plainClass<&kve_modSinClass, 1, 1>(0xBEEF0857u, oneToOne<map<sinf>>);
