#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The largest word as a signed integer; *index = its first position.
extern "C" Fract32 kve_vecMaxFract32(const Fract32 *src, int32_t n, uint32_t *index)
{
    return kve_extreme<kve_MaxFract32>(src, 1, n, index);
}
