#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The largest magnitude of n samples srcInc apart, NaN ignored; *index = its first position.
extern "C" float kve_vecMaxAbsIndex(const float *src, int32_t srcInc, int32_t n, uint32_t *index)
{
    return kve_extreme<kve_MaxAbsF32>(src, srcInc, n, index);
}
