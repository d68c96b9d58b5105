// Atan2: the angle, in radians from -pi to pi, of the point (b, a) for every sample a of wire 0 and b of
// wire 1, into wire 2.
#include "Modules/Standard/Math.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modAtan2Class =
    plainClass<&kve_modAtan2Class, 2, 1>(0xBEEF0854u, twoToOne<map2<atan2f>>);
