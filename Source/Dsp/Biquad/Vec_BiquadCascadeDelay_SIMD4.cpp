#include <cstddef>
#include <cstdint>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// Four direct-form-II sections, one per lane, each working on the sample its predecessor finished one sample
// earlier, so the four recursions run side by side and the cascade's output comes four samples late. Per sample and
// lane: w = in - fma(a1, w1, a2 w2); y = fma(b0, w, fma(b1, w1, b2 w2)). coeffs: b0, b1, b2, a1, a2 of the four
// sections, each as four floats; state: w2 and w1 of the four sections, then the stage pipe (the newest input, then
// the latest output of each section).
extern "C" void kve_vecBiquadCascadeDelay(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                          const float *coeffs, float *state, int32_t n)
{
    if (n < 1) {
        return;
    }
    const float32x4_t b0 = vld1q_f32(coeffs);
    const float32x4_t b1 = vld1q_f32(coeffs + 4);
    const float32x4_t b2 = vld1q_f32(coeffs + 8);
    const float32x4_t a1 = vld1q_f32(coeffs + 12);
    const float32x4_t a2 = vld1q_f32(coeffs + 16);
    float32x4_t w2 = vld1q_f32(state);
    float32x4_t w1 = vld1q_f32(state + 4);
    float32x4_t y = vld1q_f32(state + 9); // the sections' outputs of the previous sample
    float x = 0.0f;
    for (ptrdiff_t t = 0; t < n; ++t) {
        x = src[t * srcInc]; // read before the write below, so the kernel runs in place
        dst[t * dstInc] = vgetq_lane_f32(y, 3);
        const float32x4_t in = vextq_f32(vdupq_n_f32(x), y, 3); // x, then sections 0 to 2's previous outputs
        const float32x4_t w = vsubq_f32(in, vfmaq_f32(vmulq_f32(a2, w2), a1, w1));
        y = vfmaq_f32(vfmaq_f32(vmulq_f32(b2, w2), b1, w1), b0, w);
        w2 = w1;
        w1 = w;
    }
    vst1q_f32(state, w2);
    vst1q_f32(state + 4, w1);
    state[8] = x;
    vst1q_f32(state + 9, y);
}
