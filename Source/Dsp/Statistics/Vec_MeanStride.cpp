#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// sum / n over n samples srcInc apart.
extern "C" float kve_vecMeanStride(const float *src, int32_t srcInc, int32_t n)
{
    return n < 1 ? 0.0f : kve_sumStrideF32(src, srcInc, n) / static_cast<float>(n);
}
