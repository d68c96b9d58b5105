#include "kve/kve_vec.h"

// sum = a/2 + b/2 and diff = a/2 - b/2, each half an arithmetic right shift (rounding toward minus infinity); the
// halves cannot overflow. All contiguous; either output may be either input buffer.
extern "C" void kve_vecScaleSumDiffFract32(const Fract32 *a, const Fract32 *b, Fract32 *sum, Fract32 *diff,
                                           int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const Fract32 halfA = a[i] >> 1;
        const Fract32 halfB = b[i] >> 1;
        sum[i] = halfA + halfB;
        diff[i] = halfA - halfB;
    }
}
