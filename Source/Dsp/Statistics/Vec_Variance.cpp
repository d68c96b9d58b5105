#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// Two passes: m = sum / n, then (sum of (x - m)²) / n. A single sample has no spread: exactly 0.
extern "C" float kve_vecVariance(const float *src, int32_t n)
{
    if (n <= 1)
        return 0.0f;
    const float m = kve_sumF32(src, n) / static_cast<float>(n);
    return kve_sumSquaredDeviationsF32(src, n, m) / static_cast<float>(n);
}
