#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Per subblock: the Fract32 variance.
extern "C" void kve_vecVarianceSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks)
{
    kve_perSubblock(src, dst, n, numSubblocks,
                    [](const Fract32 *block, int32_t len) { return kve_vecVarianceFract32(block, len); });
}
