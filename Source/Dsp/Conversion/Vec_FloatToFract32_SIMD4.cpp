#include <cstddef>

#include "Dsp/Fract32.h"
#include "Dsp/Lanes.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = src x 2^31 truncated toward zero and saturated (1.0 and above give 0x7FFFFFFF, -1.0 and below 0x80000000);
// NaN gives 0.
extern "C" void kve_vecFloatToFract32(const float *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n)
{
    const ptrdiff_t si = srcInc;
    const ptrdiff_t di = dstInc;
    int32_t i = 0;
    if (si == 1 && di == 1) {
        for (; n - i >= 16; i += 16) {
            const float32x4_t a0 = vld1q_f32(src + i);
            const float32x4_t a1 = vld1q_f32(src + i + 4);
            const float32x4_t a2 = vld1q_f32(src + i + 8);
            const float32x4_t a3 = vld1q_f32(src + i + 12);
            vst1q_s32(dst + i, vcvtq_n_s32_f32(a0, 31));
            vst1q_s32(dst + i + 4, vcvtq_n_s32_f32(a1, 31));
            vst1q_s32(dst + i + 8, vcvtq_n_s32_f32(a2, 31));
            vst1q_s32(dst + i + 12, vcvtq_n_s32_f32(a3, 31));
        }
        for (; n - i >= 4; i += 4) {
            vst1q_s32(dst + i, vcvtq_n_s32_f32(vld1q_f32(src + i), 31));
        }
    } else {
        for (; n - i >= 16; i += 16) {
            const float32x4_t a0 = kve_gather4F32(src + i * si, si);
            const float32x4_t a1 = kve_gather4F32(src + (i + 4) * si, si);
            const float32x4_t a2 = kve_gather4F32(src + (i + 8) * si, si);
            const float32x4_t a3 = kve_gather4F32(src + (i + 12) * si, si);
            kve_scatter4S32(dst + i * di, di, vcvtq_n_s32_f32(a0, 31));
            kve_scatter4S32(dst + (i + 4) * di, di, vcvtq_n_s32_f32(a1, 31));
            kve_scatter4S32(dst + (i + 8) * di, di, vcvtq_n_s32_f32(a2, 31));
            kve_scatter4S32(dst + (i + 12) * di, di, vcvtq_n_s32_f32(a3, 31));
        }
        for (; n - i >= 4; i += 4) {
            kve_scatter4S32(dst + i * di, di, vcvtq_n_s32_f32(kve_gather4F32(src + i * si, si), 31));
        }
    }
    for (; i < n; ++i) {
        dst[i * di] = kve_floatToFract32(src[i * si]);
    }
}
