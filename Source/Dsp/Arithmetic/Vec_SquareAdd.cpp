#include <cmath>

#include "Dsp/Elementwise.h"
#include "kve/kve_vec.h"

// dst = dst + src x src, fused (one rounding).
extern "C" void kve_vecSquareAdd(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    kve_accumulate1x1(src, srcInc, dst, dstInc, n, [](float x, float d) { return std::fma(x, x, d); });
}
