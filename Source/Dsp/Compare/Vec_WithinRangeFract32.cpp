#include "Dsp/Compare/WithinRange.h"
#include "kve/kve_vec_compare.h"

// Range flags of Fract32 samples: lower <= x <= upper as signed words.
extern "C" void kve_vecWithinRangeFract32(const Fract32 *src, int32_t *dstVec, Fract32 lower, Fract32 upper,
                                          int32_t mode, int32_t *dstAll, int32_t n)
{
    kve_withinRange(src, dstVec, mode, dstAll, n, [lower, upper](Fract32 x) { return lower <= x && x <= upper; });
}
