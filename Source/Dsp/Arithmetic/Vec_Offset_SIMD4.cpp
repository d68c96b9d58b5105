#include "Dsp/Elementwise.h"
#include "Dsp/Lanes.h"
#include "kve/kve_vec.h"

// dst = src + offset.
extern "C" void kve_vecOffset(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float offset, int32_t n)
{
    if (srcInc != 1 || dstInc != 1) {
        kve_stridedMap1x1(src, srcInc, dst, dstInc, n, [=](float x) { return x + offset; });
        return;
    }
    const float32x4_t o = vdupq_n_f32(offset);
    kve_contiguous1x1F32(src, dst, n, [=](float32x4_t x) { return vaddq_f32(x, o); },
                         [=](float x) { return x + offset; });
}
