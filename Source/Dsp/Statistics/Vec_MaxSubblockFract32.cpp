#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Per subblock: the largest value.
extern "C" void kve_vecMaxSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks)
{
    kve_perSubblock(src, dst, n, numSubblocks, [](const Fract32 *block, int32_t len) {
        return kve_extreme<kve_MaxFract32>(block, 1, len, nullptr);
    });
}
