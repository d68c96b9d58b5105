#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// (sum of x²) / n.
extern "C" float kve_vecAvgEnergy(const float *src, int32_t n)
{
    return n < 1 ? 0.0f : kve_sumSquaresF32(src, n) / static_cast<float>(n);
}
