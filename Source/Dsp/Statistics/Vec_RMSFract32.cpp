#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The Q31 square root of the Fract32 average energy (which never exceeds 0x7FFFFFFF).
extern "C" Fract32 kve_vecRMSFract32(const Fract32 *src, int32_t n)
{
    return kve_sqrtOneFract32(static_cast<Fract32>(kve_vecAvgEnergyFract32(src, n)));
}
