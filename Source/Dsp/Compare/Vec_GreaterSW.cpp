#include <cmath>

#include "Dsp/Elementwise.h"
#include "kve/kve_vec_compare.h"

// The larger of x and y as IEEE maxNum: a NaN operand gives the other one, and of two zeros +0.0 is the larger, so
// the result does not depend on the operand order.
static inline float kve_maxNum(float x, float y)
{
    if (std::isnan(x))
        return y;
    if (std::isnan(y))
        return x;
    if (x == y)
        return std::signbit(x) ? y : x;
    return x > y ? x : y;
}

// dst = max(a, b), strided.
extern "C" void kve_GreaterSW(const float *a, int32_t aInc, const float *b, int32_t bInc, float *dst, int32_t dstInc,
                              int32_t n)
{
    kve_map2x1(a, aInc, b, bInc, dst, dstInc, n, kve_maxNum);
}
