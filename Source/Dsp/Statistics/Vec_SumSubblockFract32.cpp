#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Per subblock: the sum saturated to 32 bits.
extern "C" void kve_vecSumSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks)
{
    kve_perSubblock(src, dst, n, numSubblocks,
                    [](const Fract32 *block, int32_t len) { return kve_vecSumFract32(block, len); });
}
