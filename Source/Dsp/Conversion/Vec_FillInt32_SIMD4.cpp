#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// Every word of the contiguous vector dst = value.
extern "C" void kve_vecFillInt32_SIMD4(int32_t *dst, int32_t value, int32_t n)
{
    const int32x4_t v = vdupq_n_s32(value);
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        vst1q_s32(dst + i, v);
        vst1q_s32(dst + i + 4, v);
        vst1q_s32(dst + i + 8, v);
        vst1q_s32(dst + i + 12, v);
    }
    for (; n - i >= 4; i += 4) {
        vst1q_s32(dst + i, v);
    }
    for (; i < n; ++i) {
        dst[i] = value;
    }
}
