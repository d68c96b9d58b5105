#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The largest of n samples srcInc apart, NaN ignored; its first position, counted in samples, unless index is null.
extern "C" float kve_vecMaxIndexStride(const float *src, int32_t srcInc, int32_t n, uint32_t *index)
{
    return kve_extreme<kve_MaxF32>(src, srcInc, n, index);
}
