#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The 64-bit sum of the Fract32 squares x × x >> 31, each saturated to 0x7FFFFFFF.
extern "C" int64_t kve_vecSumSquaredFract32(const Fract32 *src, int32_t n)
{
    return kve_sumSquares64Fract32(src, n);
}
