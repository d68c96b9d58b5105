#include <cstddef>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// Every sample of dst = value. A contiguous vector of four or more ends with one four-sample store that overlaps
// the samples already written and ends at the last one.
extern "C" void kve_vecFill(float *dst, int32_t dstInc, float value, int32_t n)
{
    if (dstInc == 1 && n > 3) {
        const float32x4_t v = vdupq_n_f32(value);
        int32_t i = 0;
        for (; n - i >= 16; i += 16) {
            vst1q_f32(dst + i, v);
            vst1q_f32(dst + i + 4, v);
            vst1q_f32(dst + i + 8, v);
            vst1q_f32(dst + i + 12, v);
        }
        for (; n - i >= 4; i += 4) {
            vst1q_f32(dst + i, v);
        }
        if (i < n) {
            vst1q_f32(dst + n - 4, v);
        }
        return;
    }
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = value;
    }
}
