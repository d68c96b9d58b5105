#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Two passes over n samples srcInc apart: m = sum / n, then (sum of (x - m)²) / n; exactly 0 for one sample.
extern "C" float kve_vecVarianceStride(const float *src, int32_t srcInc, int32_t n)
{
    if (n <= 1)
        return 0.0f;
    const float m = kve_sumStrideF32(src, srcInc, n) / static_cast<float>(n);
    float sum = 0.0f;
    for (ptrdiff_t k = 0; k < n; ++k) {
        const float d = src[k * srcInc] - m;
        sum = std::fma(d, d, sum);
    }
    return sum / static_cast<float>(n);
}
