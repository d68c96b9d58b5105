#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Per subblock: the largest Fract32 magnitude (0x80000000 counts as 0x7FFFFFFF).
extern "C" void kve_vecMaxAbsSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks)
{
    kve_perSubblock(src, dst, n, numSubblocks, [](const Fract32 *block, int32_t len) {
        return kve_extreme<kve_MaxAbsFract32>(block, 1, len, nullptr);
    });
}
