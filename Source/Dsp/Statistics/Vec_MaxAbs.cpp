#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The largest magnitude of n samples srcInc apart, NaN ignored. The position is not reported: *index = 0.
extern "C" float kve_vecMaxAbs(const float *src, int32_t srcInc, int32_t n, uint32_t *index)
{
    uint32_t at = 0;
    const float peak = kve_extreme(src, srcInc, n, &at, kve_magnitudeF32, kve_greater<float>);
    if (n >= 1)
        *index = 0;
    return peak;
}
