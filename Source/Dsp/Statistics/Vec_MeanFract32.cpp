#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The 64-bit sum of the words divided by n, truncated toward zero (always inside the 32-bit range).
extern "C" int64_t kve_vecMeanFract32(const Fract32 *src, int32_t n)
{
    return n < 1 ? 0 : kve_sum64Fract32(src, n) / n;
}
