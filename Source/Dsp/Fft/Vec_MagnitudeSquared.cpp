#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = re^2 + im^2, fused (re^2 added to the rounded im^2). srcInc counts floats; a contiguous complex vector
// (srcInc 2) into a contiguous output goes four elements at a time.
extern "C" void kve_vecMagnitudeSquared(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    ptrdiff_t k = 0;
    if (srcInc == 2 && dstInc == 1) {
        for (; n - k >= 4; k += 4) {
            const float32x4x2_t x = vld2q_f32(src + 2 * k);
            vst1q_f32(dst + k, vfmaq_f32(vmulq_f32(x.val[1], x.val[1]), x.val[0], x.val[0]));
        }
    }
    for (; k < n; ++k) {
        const float re = src[k * srcInc];
        const float im = src[k * srcInc + 1];
        dst[k * dstInc] = std::fma(re, re, im * im);
    }
}
