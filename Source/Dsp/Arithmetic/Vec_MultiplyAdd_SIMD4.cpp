#include <cmath>

#include "Dsp/Elementwise.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = a x b + c, fused (one rounding).
extern "C" void kve_vecMultiplyAdd(const float *a, int32_t aInc, const float *b, int32_t bInc, const float *c,
                                   int32_t cInc, float *dst, int32_t dstInc, int32_t n)
{
    if (aInc != 1 || bInc != 1 || cInc != 1 || dstInc != 1) {
        kve_stridedMap3x1(a, aInc, b, bInc, c, cInc, dst, dstInc, n,
                          [](float x, float y, float z) { return std::fma(x, y, z); });
        return;
    }
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t p0 = vfmaq_f32(vld1q_f32(c + i), vld1q_f32(a + i), vld1q_f32(b + i));
        const float32x4_t p1 = vfmaq_f32(vld1q_f32(c + i + 4), vld1q_f32(a + i + 4), vld1q_f32(b + i + 4));
        const float32x4_t p2 = vfmaq_f32(vld1q_f32(c + i + 8), vld1q_f32(a + i + 8), vld1q_f32(b + i + 8));
        const float32x4_t p3 = vfmaq_f32(vld1q_f32(c + i + 12), vld1q_f32(a + i + 12), vld1q_f32(b + i + 12));
        vst1q_f32(dst + i, p0);
        vst1q_f32(dst + i + 4, p1);
        vst1q_f32(dst + i + 8, p2);
        vst1q_f32(dst + i + 12, p3);
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, vfmaq_f32(vld1q_f32(c + i), vld1q_f32(a + i), vld1q_f32(b + i)));
    }
    for (; i < n; ++i) {
        dst[i] = std::fma(a[i], b[i], c[i]);
    }
}
