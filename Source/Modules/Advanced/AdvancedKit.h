// Helpers every class of the advanced pack shares.
#pragma once

#include <cmath>
#include <cstdint>

#include "kve/kve_types.h"

// A float a host writes, as the Fract32 an advanced module's Set stores: v x 2^31 rounded half away from zero,
// saturated to -1.0 (below -1.0) and to 0x7FFFFFFF (1.0 or more). NaN carries no value and stores 0. Unlike the
// vector kernels' conversion this rounds, so a coefficient a host reads back as float is the nearest one.
inline Fract32 kve_advFloatToFract32(float v)
{
    if (std::isnan(v))
        return 0;
    if (v < -1.0f)
        return INT32_MIN;
    if (v >= 1.0f)
        return INT32_MAX;
    // Scaling by a power of two is exact, and |v| < 1 keeps the rounded value inside the 32-bit range.
    return static_cast<Fract32>(std::round(v * 2147483648.0f));
}

// A float as the integer a control value truncates to, saturated to the int32 range; NaN gives 0.
inline int32_t kve_advTruncateToInt32(float v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483648.0f)
        return INT32_MAX;
    if (v < -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}
