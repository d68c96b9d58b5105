#include <cstddef>

#include "Dsp/Fract32.h"
#include "Dsp/Lanes.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = src x 2^-31, rounded to nearest: 0x7FFFFFFF gives 1.0, 0x80000000 gives -1.0.
extern "C" void kve_vecFract32ToFloat(const Fract32 *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    const ptrdiff_t si = srcInc;
    const ptrdiff_t di = dstInc;
    int32_t i = 0;
    if (si == 1 && di == 1) {
        for (; n - i >= 16; i += 16) {
            const int32x4_t a0 = vld1q_s32(src + i);
            const int32x4_t a1 = vld1q_s32(src + i + 4);
            const int32x4_t a2 = vld1q_s32(src + i + 8);
            const int32x4_t a3 = vld1q_s32(src + i + 12);
            vst1q_f32(dst + i, vcvtq_n_f32_s32(a0, 31));
            vst1q_f32(dst + i + 4, vcvtq_n_f32_s32(a1, 31));
            vst1q_f32(dst + i + 8, vcvtq_n_f32_s32(a2, 31));
            vst1q_f32(dst + i + 12, vcvtq_n_f32_s32(a3, 31));
        }
        for (; n - i >= 4; i += 4) {
            vst1q_f32(dst + i, vcvtq_n_f32_s32(vld1q_s32(src + i), 31));
        }
    } else {
        for (; n - i >= 16; i += 16) {
            const int32x4_t a0 = kve_gather4S32(src + i * si, si);
            const int32x4_t a1 = kve_gather4S32(src + (i + 4) * si, si);
            const int32x4_t a2 = kve_gather4S32(src + (i + 8) * si, si);
            const int32x4_t a3 = kve_gather4S32(src + (i + 12) * si, si);
            kve_scatter4F32(dst + i * di, di, vcvtq_n_f32_s32(a0, 31));
            kve_scatter4F32(dst + (i + 4) * di, di, vcvtq_n_f32_s32(a1, 31));
            kve_scatter4F32(dst + (i + 8) * di, di, vcvtq_n_f32_s32(a2, 31));
            kve_scatter4F32(dst + (i + 12) * di, di, vcvtq_n_f32_s32(a3, 31));
        }
        for (; n - i >= 4; i += 4) {
            kve_scatter4F32(dst + i * di, di, vcvtq_n_f32_s32(kve_gather4S32(src + i * si, si), 31));
        }
    }
    for (; i < n; ++i) {
        dst[i * di] = kve_fract32ToFloat(src[i * si]);
    }
}
