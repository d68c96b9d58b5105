#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The Q31 square root of the Fract32 variance.
extern "C" Fract32 kve_vecSDFract32(const Fract32 *src, int32_t n)
{
    return kve_sqrtOneFract32(kve_vecVarianceFract32(src, n));
}
