#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Per subblock: sum of x² × (1 / len).
extern "C" void kve_vecAvgEnergySubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks)
{
    kve_perSubblock(src, dst, n, numSubblocks, [](const float *block, int32_t len) {
        return kve_sumSquaresF32(block, len) * (len < 1 ? 0.0f : 1.0f / static_cast<float>(len));
    });
}
