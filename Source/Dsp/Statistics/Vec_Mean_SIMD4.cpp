#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// sum / n, the sum taken in four lanes.
extern "C" float kve_vecMean_SIMD4(const float *src, int32_t n)
{
    return n < 1 ? 0.0f : kve_sumF32(src, n) / static_cast<float>(n);
}
