#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Per subblock: the two-pass variance.
extern "C" void kve_vecVarianceSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks)
{
    kve_perSubblock(src, dst, n, numSubblocks,
                    [](const float *block, int32_t len) { return kve_vecVariance(block, len); });
}
