#include <cmath>
#include <cstdint>

#include "kve/kve_vec.h"

// Piecewise cubic through a table of numPoints (x, y) points, x increasing, with three coefficients per segment
// added to the segment's first y: dst = ((c[3k] d + c[3k+1]) d + c[3k+2]) d + y_k with d = x - x_k on segment k
// (the count of points x_1.. strictly below x), each step one fused multiply-add; y_0 at and below the first
// point, y_(N-1) at and above the last. A table of one point gives y_0 everywhere, an empty one 0.
extern "C" void kve_vecTableInterpRuntime(const float *src, const float *points, int32_t numPoints,
                                          const float *coeffs, float *dst, int32_t n)
{
    const int32_t last = numPoints - 1;
    for (int32_t i = 0; i < n; ++i) {
        const float x = src[i];
        if (numPoints < 1) {
            dst[i] = 0.0f;
        } else if (x <= points[0] || last == 0) {
            dst[i] = points[1];
        } else if (x >= points[2 * last]) {
            dst[i] = points[2 * last + 1];
        } else {
            int32_t k = 0;
            for (int32_t p = 1; p < last; ++p) {
                k += points[2 * p] < x;
            }
            const float d = x - points[2 * k];
            const float *c = coeffs + 3 * k;
            dst[i] = std::fma(std::fma(std::fma(c[0], d, c[1]), d, c[2]), d, points[2 * k + 1]);
        }
    }
}
