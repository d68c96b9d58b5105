#include "Dsp/Elementwise.h"
#include "Dsp/Lanes.h"
#include "kve/kve_vec.h"

// dst = a - b.
extern "C" void kve_vecSubtract2x1(const float *a, int32_t aInc, const float *b, int32_t bInc, float *dst,
                                   int32_t dstInc, int32_t n)
{
    if (aInc != 1 || bInc != 1 || dstInc != 1) {
        kve_stridedMap2x1(a, aInc, b, bInc, dst, dstInc, n, [](float x, float y) { return x - y; });
        return;
    }
    kve_contiguous2x1F32(a, b, dst, n, [](float32x4_t x, float32x4_t y) { return vsubq_f32(x, y); },
                         [](float x, float y) { return x - y; });
}
