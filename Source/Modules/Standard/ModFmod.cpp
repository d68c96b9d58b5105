// Fmod: the remainder of every sample a of wire 0 divided by the sample b of wire 1, truncated division,
// so it takes the sign of a, into wire 2 (NaN where b is 0).
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modFmodClass =
    plainClass<&kve_modFmodClass, 2, 1>(0xBEEF0832u, twoToOne<map2<fmodf>>);
