#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The sum of x², fused multiply-adds in four lanes.
extern "C" float kve_vecSumSquared(const float *src, int32_t n)
{
    return kve_sumSquaresF32(src, n);
}
