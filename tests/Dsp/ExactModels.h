// Exact models of the fixed-point and conversion arithmetic, written the long way (128-bit integers, double
// precision) so that they share nothing with the library's own helpers.
#pragma once

#include <cmath>
#include <cstdint>

namespace kvetest {

inline int32_t clampTo32(__int128 v)
{
    if (v < INT32_MIN)
        return INT32_MIN;
    if (v > INT32_MAX)
        return INT32_MAX;
    return static_cast<int32_t>(v);
}

// floor(v / 2^k) for k >= 0.
inline __int128 floorDivPow2(__int128 v, int k)
{
    if (k >= 100)
        return v < 0 ? -1 : 0;
    const __int128 d = static_cast<__int128>(1) << k;
    __int128 q = v / d;
    if (v % d != 0 && v < 0)
        q -= 1;
    return q;
}

// v x 2^shift, rounded toward minus infinity, for any shift; far beyond 64 bits the value only keeps its sign.
inline __int128 scaleByPow2(__int128 v, int shift)
{
    if (shift >= 0) {
        if (v == 0)
            return 0;
        if (shift > 64)
            return v > 0 ? (static_cast<__int128>(1) << 100) : -(static_cast<__int128>(1) << 100);
        return v * (static_cast<__int128>(1) << shift);
    }
    return floorDivPow2(v, -shift);
}

// The Fract32 product a x b / 2^31, rounded toward minus infinity, saturated.
inline int32_t exactFract32Product(int32_t a, int32_t b)
{
    return clampTo32(floorDivPow2(static_cast<__int128>(a) * b, 31));
}

// x x 2^31 truncated toward zero, saturated; NaN gives 0.
inline int32_t exactFloatToFract32(float x)
{
    if (std::isnan(x))
        return 0;
    const double y = std::trunc(static_cast<double>(x) * 2147483648.0);
    if (y >= 2147483647.0)
        return INT32_MAX;
    if (y <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(y);
}

// w / 2^31 rounded once to the nearest float (the quotient is exact in double).
inline float exactFract32ToFloat(int32_t w) { return static_cast<float>(static_cast<double>(w) / 2147483648.0); }

// k rounded once to the nearest float (exact in double first).
inline float exactIntToFloat(int32_t k) { return static_cast<float>(static_cast<double>(k)); }

} // namespace kvetest
