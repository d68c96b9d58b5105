#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = atan2(y, x) in radians by an odd polynomial in the ratio of the two legs, |ratio| <= 1, plus the
// quadrant's multiple of pi/2, in two passes: the first picks numerator, denominator and quadrant code per sample
// (codes in dst, numerators in scratch[0, n), denominators in scratch[n, 2n)), the second evaluates. A denominator
// of magnitude below 2^-23 is replaced by 2^23 as its reciprocal. dst is contiguous: dstInc is not used.
extern "C" void kve_vecFastAtan2(const float *y, int32_t yInc, const float *x, int32_t xInc, float *dst,
                                 int32_t dstInc, float *scratch, int32_t n)
{
    (void)dstInc;
    if (n < 1) {
        return;
    }
    float *num = scratch;
    float *den = scratch + n;
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float yv = y[i * yInc];
        const float xv = x[i * xInc];
        const bool aboveAntiDiagonal = yv > -xv;
        float code;
        if (xv >= yv) {
            code = aboveAntiDiagonal ? 0.0f : -1.0f;
        } else {
            code = aboveAntiDiagonal ? 1.0f : 2.0f;
        }
        // Codes 0 and 2 measure from the x axis (y over x), codes -1 and 1 from the y axis (-x over y).
        const bool fromX = code == 0.0f || code == 2.0f;
        num[i] = fromX ? yv : -xv;
        den[i] = fromX ? xv : yv;
        dst[i] = code;
    }
    for (ptrdiff_t i = 0; i < n; ++i) {
        den[i] = std::fabs(den[i]) < 1.1920929e-7f ? 8388608.0f : 1.0f / den[i];
        num[i] *= den[i];
        const float t = num[i];
        const float s = t * t;
        float p = std::fma(0.0208351f, s, -0.085133f);
        p = std::fma(p, s, 0.180141f);
        p = std::fma(p, s, -0.3302995f);
        p = std::fma(p, s, 0.999866f);
        float result = std::fma(t, p, dst[i] * 1.5707964f);
        if (result > 3.1415927f) {
            result -= 6.2831855f;
        }
        dst[i] = result;
    }
}
