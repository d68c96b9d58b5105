#include <cmath>

#include "kve/kve_vec_stats.h"

// The square root of the variance of the same form.
extern "C" float kve_vecSDStride(const float *src, int32_t srcInc, int32_t n)
{
    return std::sqrt(kve_vecVarianceStride(src, srcInc, n));
}
