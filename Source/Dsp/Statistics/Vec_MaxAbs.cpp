#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The largest magnitude of n samples srcInc apart, NaN ignored. The position is not reported: *index = 0.
extern "C" float kve_vecMaxAbs(const float *src, int32_t srcInc, int32_t n, uint32_t *index)
{
    if (n >= 1)
        *index = 0;
    return kve_extreme<kve_MaxAbsF32>(src, srcInc, n, nullptr);
}
