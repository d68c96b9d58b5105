#include <cmath>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = dst + src x gain, both contiguous. In blocks of four the product is rounded before the sum; the last one to
// three samples are fused (one rounding).
extern "C" void kve_vecScaleAdd_SIMD4(const float *src, float *dst, float gain, int32_t n)
{
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t p0 = vmulq_n_f32(vld1q_f32(src + i), gain);
        const float32x4_t p1 = vmulq_n_f32(vld1q_f32(src + i + 4), gain);
        const float32x4_t p2 = vmulq_n_f32(vld1q_f32(src + i + 8), gain);
        const float32x4_t p3 = vmulq_n_f32(vld1q_f32(src + i + 12), gain);
        vst1q_f32(dst + i, vaddq_f32(vld1q_f32(dst + i), p0));
        vst1q_f32(dst + i + 4, vaddq_f32(vld1q_f32(dst + i + 4), p1));
        vst1q_f32(dst + i + 8, vaddq_f32(vld1q_f32(dst + i + 8), p2));
        vst1q_f32(dst + i + 12, vaddq_f32(vld1q_f32(dst + i + 12), p3));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, vaddq_f32(vld1q_f32(dst + i), vmulq_n_f32(vld1q_f32(src + i), gain)));
    }
    for (; i < n; ++i) {
        dst[i] = std::fma(src[i], gain, dst[i]);
    }
}
