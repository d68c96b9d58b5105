#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Per subblock: the smallest value (NaN ignored).
extern "C" void kve_vecMinSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks)
{
    kve_perSubblock(src, dst, n, numSubblocks, [](const float *block, int32_t len) {
        return kve_extreme<kve_MinF32>(block, 1, len, nullptr);
    });
}
