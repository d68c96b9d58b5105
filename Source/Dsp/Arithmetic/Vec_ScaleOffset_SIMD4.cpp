#include <cmath>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = src x gain + offset, both contiguous. In blocks of four the product is rounded before the sum; the last one
// to three samples are fused (one rounding).
extern "C" void kve_vecScaleOffset_SIMD4(const float *src, float *dst, float gain, float offset, int32_t n)
{
    const float32x4_t o = vdupq_n_f32(offset);
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, vaddq_f32(vmulq_n_f32(x0, gain), o));
        vst1q_f32(dst + i + 4, vaddq_f32(vmulq_n_f32(x1, gain), o));
        vst1q_f32(dst + i + 8, vaddq_f32(vmulq_n_f32(x2, gain), o));
        vst1q_f32(dst + i + 12, vaddq_f32(vmulq_n_f32(x3, gain), o));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, vaddq_f32(vmulq_n_f32(vld1q_f32(src + i), gain), o));
    }
    for (; i < n; ++i) {
        dst[i] = std::fma(src[i], gain, offset);
    }
}
