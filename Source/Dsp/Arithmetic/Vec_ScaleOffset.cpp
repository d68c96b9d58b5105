#include <cmath>

#include "Dsp/Elementwise.h"
#include "kve/kve_vec.h"

// dst = src x gain + offset, fused (one rounding).
extern "C" void kve_vecScaleOffset(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float gain,
                                   float offset, int32_t n)
{
    kve_map1x1(src, srcInc, dst, dstInc, n, [=](float x) { return std::fma(x, gain, offset); });
}
