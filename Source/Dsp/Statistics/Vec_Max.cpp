#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The largest of src[0 .. n - 1], NaN elements ignored; *index = the first position holding it.
extern "C" float kve_vecMax(const float *src, int32_t n, uint32_t *index)
{
    return kve_extreme<kve_MaxF32>(src, 1, n, index);
}
