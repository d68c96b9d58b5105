#include "Dsp/Compare/WithinRange.h"
#include "kve/kve_vec_compare.h"

// Range flags of float samples: a sample is in range when it is neither below lower nor above upper, so a NaN
// sample (for which both tests are false) counts as in range.
extern "C" void kve_vecWithinRange(const float *src, int32_t *dstVec, float lower, float upper, int32_t mode,
                                   int32_t *dstAll, int32_t n)
{
    kve_withinRange(src, dstVec, mode, dstAll, n, [lower, upper](float x) { return !(x < lower) && !(x > upper); });
}
