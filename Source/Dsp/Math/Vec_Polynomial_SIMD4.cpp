#include <cstdint>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

namespace {

float32x4_t horner(float32x4_t x, int32_t numCoeffs, const float *coeffs)
{
    float32x4_t y = vdupq_n_f32(numCoeffs > 0 ? coeffs[0] : 0.0f);
    for (int32_t k = 1; k < numCoeffs; ++k) {
        y = vfmaq_f32(vdupq_n_f32(coeffs[k]), y, x);
    }
    return y;
}

} // namespace

// The values of kve_vecPolynomial on contiguous vectors, four lanes at a time: Horner's rule with one fused
// multiply-add per coefficient; no coefficients give 0.
extern "C" void kve_vecPolynomial_SIMD4(const float *src, float *dst, int32_t numCoeffs, const float *coeffs,
                                        int32_t n)
{
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, horner(x0, numCoeffs, coeffs));
        vst1q_f32(dst + i + 4, horner(x1, numCoeffs, coeffs));
        vst1q_f32(dst + i + 8, horner(x2, numCoeffs, coeffs));
        vst1q_f32(dst + i + 12, horner(x3, numCoeffs, coeffs));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, horner(vld1q_f32(src + i), numCoeffs, coeffs));
    }
    kve_vecPolynomial(src + i, 1, dst + i, 1, numCoeffs, coeffs, n - i);
}
