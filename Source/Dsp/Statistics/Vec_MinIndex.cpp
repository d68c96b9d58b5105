#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The smallest value and its first position, as kve_vecMin.
extern "C" float kve_vecMinIndex(const float *src, int32_t n, uint32_t *index)
{
    return kve_vecMin(src, n, index);
}
