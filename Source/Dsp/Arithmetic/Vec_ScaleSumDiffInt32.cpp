#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// sum = (a + b) / 2 and diff = (a - b) / 2: the sum and difference wrap modulo 2^32, the halving truncates toward
// zero. All contiguous; either output may be either input buffer.
extern "C" void kve_vecScaleSumDiffInt32(const int32_t *a, const int32_t *b, int32_t *sum, int32_t *diff, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const int32_t x = a[i];
        const int32_t y = b[i];
        sum[i] = kve_addInt32Wrap(x, y) / 2;
        diff[i] = kve_subInt32Wrap(x, y) / 2;
    }
}
