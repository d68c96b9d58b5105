#include <cmath>

#include "Dsp/Elementwise.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = |src| (the sign bit cleared). A contiguous vector of four or more ends with one four-sample block that
// overlaps the samples already done and ends at the last one: the magnitude of a magnitude is itself, so this holds
// in place too.
extern "C" void kve_vecAbs(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    if (srcInc != 1 || dstInc != 1 || n < 4) {
        kve_stridedMap1x1(src, srcInc, dst, dstInc, n, [](float x) { return std::fabs(x); });
        return;
    }
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, vabsq_f32(x0));
        vst1q_f32(dst + i + 4, vabsq_f32(x1));
        vst1q_f32(dst + i + 8, vabsq_f32(x2));
        vst1q_f32(dst + i + 12, vabsq_f32(x3));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, vabsq_f32(vld1q_f32(src + i)));
    }
    if (i < n) {
        vst1q_f32(dst + n - 4, vabsq_f32(vld1q_f32(src + n - 4)));
    }
}
