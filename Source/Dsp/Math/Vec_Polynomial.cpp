#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = coeffs[0] x^(N-1) + ... + coeffs[N-1] by Horner's rule, each step one fused multiply-add. One coefficient
// gives that coefficient for every sample; no coefficients give 0.
extern "C" void kve_vecPolynomial(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t numCoeffs,
                                  const float *coeffs, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float x = src[i * srcInc];
        float y = numCoeffs > 0 ? coeffs[0] : 0.0f;
        for (int32_t k = 1; k < numCoeffs; ++k) {
            y = std::fma(y, x, coeffs[k]);
        }
        dst[i * dstInc] = y;
    }
}
