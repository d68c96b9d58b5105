#include <algorithm>
#include <cstdint>

#include "kve/kve_vec.h"

namespace {

// One Horner step on half-scale values: (a >> 1) plus the Q30-rounded product p h, halved.
int64_t halfStep(Fract32 a, int64_t p, int64_t h)
{
    return (a >> 1) + (((p * h + (int64_t{1} << 29)) >> 30) >> 1);
}

// A half-scale partial result back at full scale: below -1/2 it becomes -1.0, at and above +1/2 full scale.
int64_t fullScale(int64_t s)
{
    return s < -(int64_t{1} << 30) ? INT32_MIN : 2 * std::min<int64_t>(s, (1 << 30) - 1);
}

} // namespace

// Fixed-point piecewise cubic through a table of numPoints (x, y) Fract32 points, x increasing, with four
// coefficients a0..a3 per segment: Horner's rule in d = x - x_k on half-scale values, each product rounded to
// nearest (half up) in Q30 and each partial result held to [-1, 1); the last one, held below 1 and giving 0 below
// -1, is moved up 8 bits with its top bits dropped (the tables carry that headroom in their coefficients).
// Segment k is 0 up to x_1, else the first k with x <= x_(k+1); y_0 at and below the first point, y_(N-1) at and
// above the last. A table of one point gives y_0 everywhere, an empty one 0.
extern "C" void kve_vecTableInterpFract32(const Fract32 *src, const Fract32 *points, int32_t numPoints,
                                          const Fract32 *coeffs, Fract32 *dst, int32_t n)
{
    const int32_t last = numPoints - 1;
    for (int32_t i = 0; i < n; ++i) {
        const Fract32 x = src[i];
        if (numPoints < 1) {
            dst[i] = 0;
        } else if (x <= points[0] || last == 0) {
            dst[i] = points[1];
        } else if (x >= points[2 * last]) {
            dst[i] = points[2 * last + 1];
        } else {
            int32_t k = 0;
            while (k < last - 1 && x > points[2 * (k + 1)]) {
                ++k;
            }
            const int64_t h = (x >> 1) - (points[2 * k] >> 1);
            const Fract32 *a = coeffs + 4 * k;
            const int64_t p1 = fullScale(halfStep(a[1], a[0], h));
            const int64_t p2 = fullScale(halfStep(a[2], p1, h));
            const int64_t s3 = halfStep(a[3], p2, h);
            const int64_t result = s3 < -(int64_t{1} << 30) ? 0 : 2 * std::min<int64_t>(s3, (1 << 30) - 1);
            dst[i] = static_cast<Fract32>(static_cast<uint32_t>(result) << 8);
        }
    }
}
