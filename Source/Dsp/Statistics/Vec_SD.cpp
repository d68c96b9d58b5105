#include <cmath>

#include "kve/kve_vec_stats.h"

// The square root of the variance of the same form.
extern "C" float kve_vecSD(const float *src, int32_t n)
{
    return std::sqrt(kve_vecVariance(src, n));
}
