#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The 64-bit sum of the Fract32 squares divided by n, truncated toward zero (at most 0x7FFFFFFF).
extern "C" int64_t kve_vecAvgEnergyFract32(const Fract32 *src, int32_t n)
{
    return n < 1 ? 0 : kve_sumSquares64Fract32(src, n) / n;
}
