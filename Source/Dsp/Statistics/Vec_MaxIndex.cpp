#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The largest value and its first position, as kve_vecMax.
extern "C" float kve_vecMaxIndex(const float *src, int32_t n, uint32_t *index)
{
    return kve_vecMax(src, n, index);
}
