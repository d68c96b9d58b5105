#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Per subblock: the 64-bit sum of the Fract32 squares saturated to 0x7FFFFFFF.
extern "C" void kve_vecSumSquaredSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks)
{
    kve_perSubblock(src, dst, n, numSubblocks, [](const Fract32 *block, int32_t len) {
        return kve_saturate64(kve_vecSumSquaredFract32(block, len));
    });
}
