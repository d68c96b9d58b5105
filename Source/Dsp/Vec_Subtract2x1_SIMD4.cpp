#include "Dsp/Elementwise.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = a - b.
extern "C" void kve_vecSubtract2x1(const float *a, int32_t aInc, const float *b, int32_t bInc, float *dst,
                                   int32_t dstInc, int32_t n)
{
    if (aInc != 1 || bInc != 1 || dstInc != 1) {
        kve_stridedMap2x1(a, aInc, b, bInc, dst, dstInc, n, [](float x, float y) { return x - y; });
        return;
    }
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t a0 = vld1q_f32(a + i);
        const float32x4_t a1 = vld1q_f32(a + i + 4);
        const float32x4_t a2 = vld1q_f32(a + i + 8);
        const float32x4_t a3 = vld1q_f32(a + i + 12);
        const float32x4_t b0 = vld1q_f32(b + i);
        const float32x4_t b1 = vld1q_f32(b + i + 4);
        const float32x4_t b2 = vld1q_f32(b + i + 8);
        const float32x4_t b3 = vld1q_f32(b + i + 12);
        vst1q_f32(dst + i, vsubq_f32(a0, b0));
        vst1q_f32(dst + i + 4, vsubq_f32(a1, b1));
        vst1q_f32(dst + i + 8, vsubq_f32(a2, b2));
        vst1q_f32(dst + i + 12, vsubq_f32(a3, b3));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, vsubq_f32(vld1q_f32(a + i), vld1q_f32(b + i)));
    }
    for (; i < n; ++i) {
        dst[i] = a[i] - b[i];
    }
}
