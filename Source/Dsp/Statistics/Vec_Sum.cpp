#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The sum, taken in four lanes.
extern "C" float kve_vecSum(const float *src, int32_t n)
{
    return kve_sumF32(src, n);
}
