// Pow: the magnitude of every sample a of wire 0 raised to the sample b of wire 1, into wire 2. The
// magnitude keeps every base inside the power's real domain.
#include "Modules/Standard/Math.h"

using namespace kve::math;

namespace {

float powOfMagnitude(float a, float b) { return powf(std::fabs(a), b); }

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modPowClass =
    plainClass<&kve_modPowClass, 2, 1>(0xBEEF083Au, twoToOne<map2<powOfMagnitude>>);
