// Floor: every sample of wire 0 rounded down to a whole number, into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modFloorClass =
    plainClass<&kve_modFloorClass, 1, 1>(0xBEEF0831u, oneToOne<map<floorf>>);
