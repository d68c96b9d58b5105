#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The sum formed in 64 bits and saturated to 32, so a loud block reads as full scale rather than wrapping sign.
extern "C" Fract32 kve_vecSumFract32(const Fract32 *src, int32_t n)
{
    return kve_saturate64(kve_sum64Fract32(src, n));
}
