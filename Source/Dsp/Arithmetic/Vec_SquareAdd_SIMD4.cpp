#include <cmath>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = dst + src x src, both contiguous, fused (one rounding) in blocks and tail alike.
extern "C" void kve_vecSquareAdd_SIMD4(const float *src, float *dst, int32_t n)
{
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, vfmaq_f32(vld1q_f32(dst + i), x0, x0));
        vst1q_f32(dst + i + 4, vfmaq_f32(vld1q_f32(dst + i + 4), x1, x1));
        vst1q_f32(dst + i + 8, vfmaq_f32(vld1q_f32(dst + i + 8), x2, x2));
        vst1q_f32(dst + i + 12, vfmaq_f32(vld1q_f32(dst + i + 12), x3, x3));
    }
    for (; n - i >= 4; i += 4) {
        const float32x4_t x = vld1q_f32(src + i);
        vst1q_f32(dst + i, vfmaq_f32(vld1q_f32(dst + i), x, x));
    }
    for (; i < n; ++i) {
        dst[i] = std::fma(src[i], src[i], dst[i]);
    }
}
