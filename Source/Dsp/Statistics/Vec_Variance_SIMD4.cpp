#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// One pass: (sum of x² - (sum of x)² / n) / n. On constant data rounding can leave the difference a little below
// zero; a variance is never negative, so it is held at 0 (and the standard deviation stays a number).
extern "C" float kve_vecVariance_SIMD4(const float *src, int32_t n)
{
    if (n < 1)
        return 0.0f;
    const float count = static_cast<float>(n);
    const float sum = kve_sumF32(src, n);
    const float v = (kve_sumSquaresF32(src, n) - sum * sum / count) / count;
    return v > 0.0f ? v : 0.0f;
}
