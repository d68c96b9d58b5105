#include "Dsp/Elementwise.h"
#include "Dsp/Lanes.h"
#include "kve/kve_vec.h"

// dst = src x gain.
extern "C" void kve_vecScale(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float gain, int32_t n)
{
    if (srcInc != 1 || dstInc != 1) {
        kve_stridedMap1x1(src, srcInc, dst, dstInc, n, [=](float x) { return x * gain; });
        return;
    }
    kve_contiguous1x1F32(src, dst, n, [=](float32x4_t x) { return vmulq_n_f32(x, gain); },
                         [=](float x) { return x * gain; });
}
