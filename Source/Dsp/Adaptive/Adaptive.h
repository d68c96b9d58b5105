// Inner loops of the float LMS filters: the dot product and the weight step over a contiguous run of ring words.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Dsp/Fir/Fir.h"
#include "Dsp/Neon.h"

// Four independent chains of four-lane sums, and their total.
struct KveFourChains {
    float32x4_t a0 = vdupq_n_f32(0.0f);
    float32x4_t a1 = a0;
    float32x4_t a2 = a0;
    float32x4_t a3 = a0;
    float sum() const { return kve_firLaneSum(vaddq_f32(vaddq_f32(a0, a1), vaddq_f32(a2, a3))); }
};

// The sum over k < len of w[k] x x[k]: four chains of four-lane fused multiply-adds over runs of 16, then the
// first chain over runs of 4, the chains added and their lanes summed, plus the last one to three terms in a chain
// of their own. Separate chains keep the multiply-add units busy while each waits for its previous sum.
static inline float kve_lmsDot(const float *w, const float *x, ptrdiff_t len)
{
    KveFourChains c;
    ptrdiff_t k = 0;
    for (; len - k >= 16; k += 16) {
        c.a0 = vfmaq_f32(c.a0, vld1q_f32(w + k), vld1q_f32(x + k));
        c.a1 = vfmaq_f32(c.a1, vld1q_f32(w + k + 4), vld1q_f32(x + k + 4));
        c.a2 = vfmaq_f32(c.a2, vld1q_f32(w + k + 8), vld1q_f32(x + k + 8));
        c.a3 = vfmaq_f32(c.a3, vld1q_f32(w + k + 12), vld1q_f32(x + k + 12));
    }
    for (; len - k >= 4; k += 4) {
        c.a0 = vfmaq_f32(c.a0, vld1q_f32(w + k), vld1q_f32(x + k));
    }
    float tail = 0.0f;
    for (; k < len; ++k) {
        tail = std::fma(w[k], x[k], tail);
    }
    return c.sum() + tail;
}

// w[k] += g x x[k] for k < len, fused.
static inline void kve_lmsStep(float *w, const float *x, float g, ptrdiff_t len)
{
    ptrdiff_t k = 0;
    for (; len - k >= 4; k += 4) {
        vst1q_f32(w + k, vfmaq_n_f32(vld1q_f32(w + k), vld1q_f32(x + k), g));
    }
    for (; k < len; ++k) {
        w[k] = std::fma(g, x[k], w[k]);
    }
}

// w[k] += g x prev[k], then the sum over k < len of the new w[k] x next[k]: one sample's weight step and the next
// sample's output in one pass over the weights, chained and summed as kve_lmsDot.
static inline float kve_lmsStepDot(float *w, const float *prev, const float *next, float g, ptrdiff_t len)
{
    KveFourChains c;
    ptrdiff_t k = 0;
    for (; len - k >= 16; k += 16) {
        const float32x4_t w0 = vfmaq_n_f32(vld1q_f32(w + k), vld1q_f32(prev + k), g);
        const float32x4_t w1 = vfmaq_n_f32(vld1q_f32(w + k + 4), vld1q_f32(prev + k + 4), g);
        const float32x4_t w2 = vfmaq_n_f32(vld1q_f32(w + k + 8), vld1q_f32(prev + k + 8), g);
        const float32x4_t w3 = vfmaq_n_f32(vld1q_f32(w + k + 12), vld1q_f32(prev + k + 12), g);
        vst1q_f32(w + k, w0);
        vst1q_f32(w + k + 4, w1);
        vst1q_f32(w + k + 8, w2);
        vst1q_f32(w + k + 12, w3);
        c.a0 = vfmaq_f32(c.a0, w0, vld1q_f32(next + k));
        c.a1 = vfmaq_f32(c.a1, w1, vld1q_f32(next + k + 4));
        c.a2 = vfmaq_f32(c.a2, w2, vld1q_f32(next + k + 8));
        c.a3 = vfmaq_f32(c.a3, w3, vld1q_f32(next + k + 12));
    }
    for (; len - k >= 4; k += 4) {
        const float32x4_t w0 = vfmaq_n_f32(vld1q_f32(w + k), vld1q_f32(prev + k), g);
        vst1q_f32(w + k, w0);
        c.a0 = vfmaq_f32(c.a0, w0, vld1q_f32(next + k));
    }
    float tail = 0.0f;
    for (; k < len; ++k) {
        w[k] = std::fma(g, prev[k], w[k]);
        tail = std::fma(w[k], next[k], tail);
    }
    return c.sum() + tail;
}

// An LMS filter of no taps: out = 0 and err = desired for n samples inc apart (desired read before out is written,
// so the two may share memory).
template <typename T>
static inline void kve_lmsNoTaps(const T *desired, T *out, T *err, int32_t n, ptrdiff_t inc)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const T d = desired[i * inc];
        out[i * inc] = T{0};
        err[i * inc] = d;
    }
}
