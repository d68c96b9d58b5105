#include <cmath>
#include <cstdint>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// Piecewise cubic through a table of numPoints (x, y) points, x increasing, with four coefficients per segment:
// dst = ((c[4k] d + c[4k+1]) d + c[4k+2]) d + c[4k+3] with d = x - x_k on segment k, each step one fused
// multiply-add; y_0 at and below the first point, y_(N-1) at and above the last. Blocks of four lanes take segment
// k as the last point k >= 1 at or below x, the one-by-one tail as the count of points x_1.. strictly below x: at
// a breakpoint the two read the two sides of it, which agree on a continuous table. A table of one point gives
// y_0 everywhere, an empty one 0.
namespace {

float cubicOnSegment(const float *points, const float *coeffs, int32_t k, float x)
{
    const float d = x - points[2 * k];
    const float *c = coeffs + 4 * k;
    return std::fma(std::fma(std::fma(c[0], d, c[1]), d, c[2]), d, c[3]);
}

float interpOne(const float *points, int32_t numPoints, const float *coeffs, float x)
{
    const int32_t last = numPoints - 1;
    if (x <= points[0]) {
        return points[1];
    }
    if (x >= points[2 * last]) {
        return points[2 * last + 1];
    }
    int32_t k = 0;
    for (int32_t i = 1; i < last; ++i) {
        k += points[2 * i] < x;
    }
    return cubicOnSegment(points, coeffs, k, x);
}

float32x4_t interpFour(const float *points, int32_t numPoints, const float *coeffs, float32x4_t x)
{
    const int32_t last = numPoints - 1;
    int32x4_t k = vdupq_n_s32(0);
    for (int32_t i = 1; i < last; ++i) {
        // An all-ones lane mask is -1: subtracting it counts the point.
        k = vsubq_s32(k, vreinterpretq_s32_u32(vcleq_f32(vdupq_n_f32(points[2 * i]), x)));
    }
    int32_t segment[4];
    vst1q_s32(segment, k);
    float xk[4], c0[4], c1[4], c2[4], c3[4];
    for (int lane = 0; lane < 4; ++lane) {
        const float *c = coeffs + 4 * segment[lane];
        xk[lane] = points[2 * segment[lane]];
        c0[lane] = c[0];
        c1[lane] = c[1];
        c2[lane] = c[2];
        c3[lane] = c[3];
    }
    const float32x4_t d = vsubq_f32(x, vld1q_f32(xk));
    float32x4_t y = vfmaq_f32(vld1q_f32(c1), vld1q_f32(c0), d);
    y = vfmaq_f32(vld1q_f32(c2), y, d);
    y = vfmaq_f32(vld1q_f32(c3), y, d);
    y = vbslq_f32(vcgeq_f32(x, vdupq_n_f32(points[2 * last])), vdupq_n_f32(points[2 * last + 1]), y);
    return vbslq_f32(vcleq_f32(x, vdupq_n_f32(points[0])), vdupq_n_f32(points[1]), y);
}

} // namespace

extern "C" void kve_vecTableInterp(const float *src, const float *points, int32_t numPoints, const float *coeffs,
                                   float *dst, int32_t n)
{
    if (numPoints < 2) {
        const float only = numPoints == 1 ? points[1] : 0.0f;
        for (int32_t i = 0; i < n; ++i) {
            dst[i] = only;
        }
        return;
    }
    int32_t i = 0;
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, interpFour(points, numPoints, coeffs, vld1q_f32(src + i)));
    }
    for (; i < n; ++i) {
        dst[i] = interpOne(points, numPoints, coeffs, src[i]);
    }
}
