#include <cmath>

#include "kve/kve_vec.h"

// Soft clip: samples with |x| below the threshold t pass; above it the magnitude follows
// t + (L - t)(|x| - t)/(|x| + L - 2t), continuous at t and approaching the limit L, with the sign of x. L - 2t is
// one fused step, the quotient is rounded, then scaled and offset in one fused step. Both vectors contiguous; the
// samples are taken one at a time, each below the threshold leaving by the early branch.
extern "C" void kve_vecSoftClip(const float *src, float *dst, float threshold, float limit, int32_t n)
{
    const float knee = std::fma(-threshold, 2.0f, limit);
    const float span = limit - threshold;
    for (int32_t i = 0; i < n; ++i) {
        const float x = src[i];
        const float magnitude = std::fabs(x);
        if (magnitude < threshold) {
            dst[i] = x;
            continue;
        }
        const float q = (magnitude - threshold) / (knee + magnitude);
        const float y = std::fma(q, span, threshold);
        dst[i] = x < 0.0f ? -y : y;
    }
}
