#include "Dsp/Elementwise.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = src x gain.
extern "C" void kve_vecScale(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float gain, int32_t n)
{
    if (srcInc != 1 || dstInc != 1) {
        kve_stridedMap1x1(src, srcInc, dst, dstInc, n, [=](float x) { return x * gain; });
        return;
    }
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, vmulq_n_f32(x0, gain));
        vst1q_f32(dst + i + 4, vmulq_n_f32(x1, gain));
        vst1q_f32(dst + i + 8, vmulq_n_f32(x2, gain));
        vst1q_f32(dst + i + 12, vmulq_n_f32(x3, gain));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, vmulq_n_f32(vld1q_f32(src + i), gain));
    }
    for (; i < n; ++i) {
        dst[i] = src[i] * gain;
    }
}
