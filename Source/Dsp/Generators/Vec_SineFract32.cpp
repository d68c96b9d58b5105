#include <cstdint>

#include "kve/kve_vec.h"

// sin(theta) in Q31 for x = theta/2 in Q31, |theta| up to pi/2, by the odd Taylor series of sin(2x) to the 11th
// power. Every product is the 64-bit product shifted right by 31 (toward minus infinity), the x4 per level
// accounting for the doubled angle; a result at or above full scale saturates to +-0x7FFFFFFF. Worked in 64 bits so
// that -1.0 can be negated like any other input.
extern "C" Fract32 kve_vecSineFract32(Fract32 x)
{
    const bool negative = x < 0;
    const int64_t a = negative ? -static_cast<int64_t>(x) : x;
    const int64_t s = (a * a) >> 31;
    int64_t q = ((-3 * s) >> 30) * 4 + 1479;
    q = ((s * q) >> 31) * 4 - 106522;
    q = ((s * q) >> 31) * 4 + 4473924;
    q = ((s * q) >> 31) * 4 - 89478485;
    q = ((s * q) >> 31) * 4 + 0x20000000;
    const int64_t r = ((a * q) >> 31) * 8;
    if (r > 0x7FFFFFFE) {
        return negative ? -INT32_MAX : INT32_MAX;
    }
    return static_cast<Fract32>(negative ? -r : r);
}
