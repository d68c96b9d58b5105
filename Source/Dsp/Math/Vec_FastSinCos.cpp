#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// Sine and cosine of angles in radians by their even and odd polynomials in x^2, without range reduction:
// accurate for |x| <= pi. Each step of the Horner chain is one fused multiply-add.

// dst = sin x.
extern "C" void kve_vecFastSin(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float x = src[i * srcInc];
        const float s = x * x;
        float p = std::fma(1.3533383e-10f, s, -2.4701643e-8f);
        p = std::fma(p, s, 2.7532296e-6f);
        p = std::fma(p, s, -0.00019840311f);
        p = std::fma(p, s, 0.008333314f);
        p = std::fma(p, s, -0.16666666f);
        p = std::fma(p, s, 1.0f);
        dst[i * dstInc] = x * p;
    }
}

// dst = cos x.
extern "C" void kve_vecFastCos(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float x = src[i * srcInc];
        const float s = x * x;
        float p = std::fma(1.736915e-9f, s, -2.7113379e-7f);
        p = std::fma(p, s, 2.4773424e-5f);
        p = std::fma(p, s, -0.0013887971f);
        p = std::fma(p, s, 0.041666523f);
        p = std::fma(p, s, -0.4999999f);
        p = std::fma(p, s, 1.0f);
        dst[i * dstInc] = p;
    }
}
