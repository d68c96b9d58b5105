#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// The largest Fract32 magnitude (0x80000000 counts as 0x7FFFFFFF); *index = its first position.
extern "C" Fract32 kve_vecMaxAbsFract32(const Fract32 *src, int32_t srcInc, int32_t n, uint32_t *index)
{
    return kve_extreme<kve_MaxAbsFract32>(src, srcInc, n, index);
}
