// The float smoothers' hold: a gain this close to its target is held for the whole call, since moving it further
// would change nothing audible.
#pragma once

#include <cmath>

static inline bool kve_smoothHolds(float gain, float target)
{
    constexpr float kHoldDistance = 1e-10f;
    return std::fabs(target - gain) < kHoldDistance;
}
