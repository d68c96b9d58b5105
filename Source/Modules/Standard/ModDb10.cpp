// Db10: 10 log10 |x|, the level in dB of a power, of every sample of wire 0 into wire 1.
#include "Modules/Standard/Math.h"

using namespace kve::math;

namespace {

// Magnitudes below the smallest normal float, zero included, give the floor 10 log10(2^-126) rather than minus
// infinity, so silence reads as a deep but finite level.
float db10(float x)
{
    const float m = std::fabs(x);
    return m >= 0x1p-126f ? std::log(m) * 4.342944622039795f : -379.29779052734375f;
}

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modDb10Class =
    plainClass<&kve_modDb10Class, 1, 1>(0xBEEF0846u, oneToOne<map<db10>>);
