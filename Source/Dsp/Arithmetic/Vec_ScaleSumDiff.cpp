#include "kve/kve_vec.h"

// sum = (a + b) x 0.5 and diff = (a - b) x 0.5, each step rounded, all four vectors contiguous. Both inputs of a
// sample are read before its outputs are written, so either output may be either input buffer.
extern "C" void kve_vecScaleSumDiff(const float *a, const float *b, float *sum, float *diff, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const float x = a[i];
        const float y = b[i];
        sum[i] = (x + y) * 0.5f;
        diff[i] = (x - y) * 0.5f;
    }
}
