#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The sum of x² over n samples srcInc apart, in index order.
extern "C" float kve_vecSumSquaredStride(const float *src, int32_t srcInc, int32_t n)
{
    return kve_sumSquaresStrideF32(src, srcInc, n);
}
