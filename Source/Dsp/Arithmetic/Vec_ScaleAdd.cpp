#include <cmath>

#include "Dsp/Elementwise.h"
#include "kve/kve_vec.h"

// dst = dst + src x gain, fused (one rounding).
extern "C" void kve_vecScaleAdd(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float gain, int32_t n)
{
    kve_accumulate1x1(src, srcInc, dst, dstInc, n, [=](float x, float d) { return std::fma(x, gain, d); });
}
