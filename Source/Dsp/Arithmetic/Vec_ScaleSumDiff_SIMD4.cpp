#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// sum = (a + b) x scale and diff = (a - b) x scale, each step rounded, all four vectors contiguous. Both inputs of a
// sample are read before its outputs are written, so either output may be either input buffer.
extern "C" void kve_vecScaleSumDiff_SIMD4(const float *a, const float *b, float *sum, float *diff, float scale,
                                          int32_t n)
{
    int32_t i = 0;
    for (; n - i >= 4; i += 4) {
        const float32x4_t x = vld1q_f32(a + i);
        const float32x4_t y = vld1q_f32(b + i);
        const float32x4_t s = vmulq_n_f32(vaddq_f32(x, y), scale);
        const float32x4_t d = vmulq_n_f32(vsubq_f32(x, y), scale);
        vst1q_f32(sum + i, s);
        vst1q_f32(diff + i, d);
    }
    for (; i < n; ++i) {
        const float x = a[i];
        const float y = b[i];
        sum[i] = (x + y) * scale;
        diff[i] = (x - y) * scale;
    }
}
