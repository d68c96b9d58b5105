#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

#include <cstring>

// min(max(x, lower), upper), the lower bound applied first, so lower > upper gives upper everywhere. Written with
// compares and selects rather than the maximum and minimum instructions: a NaN sample passes through, a NaN bound
// clips nothing, and a zero is not swapped for the other zero. The tail runs through the same four-lane select, so
// no optimiser can give it another rule (a scalar select of this shape is turned into a maximum instruction).
static inline float32x4_t clipBlock(float32x4_t x, float32x4_t lower, float32x4_t upper)
{
    const float32x4_t raised = vbslq_f32(vcltq_f32(x, lower), lower, x);
    return vbslq_f32(vcgtq_f32(raised, upper), upper, raised);
}

// dst = src clipped to [lower, upper], both contiguous.
extern "C" void kve_vecClipAsym(const float *src, float *dst, float lower, float upper, int32_t n)
{
    const float32x4_t lo = vdupq_n_f32(lower);
    const float32x4_t hi = vdupq_n_f32(upper);
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, clipBlock(x0, lo, hi));
        vst1q_f32(dst + i + 4, clipBlock(x1, lo, hi));
        vst1q_f32(dst + i + 8, clipBlock(x2, lo, hi));
        vst1q_f32(dst + i + 12, clipBlock(x3, lo, hi));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, clipBlock(vld1q_f32(src + i), lo, hi));
    }
    if (i < n) {
        const auto rest = static_cast<size_t>(n - i);
        float lanes[4] = {};
        std::memcpy(lanes, src + i, rest * sizeof(float));
        vst1q_f32(lanes, clipBlock(vld1q_f32(lanes), lo, hi));
        std::memcpy(dst + i, lanes, rest * sizeof(float));
    }
}
