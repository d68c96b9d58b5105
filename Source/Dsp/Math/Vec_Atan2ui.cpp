#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "kve/kve_vec.h"

// Four-quadrant arctangent in turns from the 514-entry arctangent table: the smaller of |y| and |x| over the larger
// gives an angle in the first octant, which the quadrant code 2 (y < 0) + (x < 0) maps to its place on the circle.
namespace {

struct Octant {
    int quadrant;
    float ratio; // 0 to 1, or NaN when the pair has no angle (a NaN, or both infinite)
    float base;  // 0 for |y| <= |x|, a quarter turn otherwise
    float sign;
};

Octant octantOf(float y, float x)
{
    const int quadrant = 2 * (y < 0.0f) + (x < 0.0f);
    const float a = std::fabs(y);
    const float b = std::fabs(x);
    if (b >= a) {
        return {quadrant, a / b, 0.0f, 1.0f};
    }
    return {quadrant, b / a, 0.25f, -1.0f};
}

// The table position of a ratio, at most 512.
float tablePosition(float ratio)
{
    return std::min(ratio * 512.0f, 512.0f);
}

float onCircle(const Octant &o, float octantTurns)
{
    const float angle = o.base + o.sign * octantTurns;
    return Vec_AtanQuadOffs[o.quadrant] + Vec_AtanQuadSign[o.quadrant] * angle;
}

} // namespace

// dst = atan2(y, x) / 2 pi in turns, in [-0.5, 0.5], interpolated between two table entries (one fused
// multiply-add); (0, 0) gives 0 and a pair with a NaN, or both infinite, gives NaN.
extern "C" void kve_vecAtan2uiLinear(const float *y, int32_t yInc, const float *x, int32_t xInc, float *dst,
                                     int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float yv = y[i * yInc];
        const float xv = x[i * xInc];
        const Octant o = octantOf(yv, xv);
        if (yv == 0.0f && xv == 0.0f) {
            dst[i * dstInc] = Vec_AtanQuadOffs[o.quadrant];
        } else if (std::isnan(o.ratio)) {
            dst[i * dstInc] = std::numeric_limits<float>::quiet_NaN();
        } else {
            const float t = tablePosition(o.ratio);
            const auto k = static_cast<int32_t>(t);
            const float u = std::fma(Vec_AtanTable[k + 1] - Vec_AtanTable[k], t - static_cast<float>(k),
                                     Vec_AtanTable[k]);
            dst[i * dstInc] = onCircle(o, u);
        }
    }
}

// dst = atan2(y, x) / 2 pi in turns from the nearest table entry; (0, 0) gives 0 and a pair with a NaN, or both
// infinite, gives NaN.
extern "C" void kve_vecAtan2uiNear(const float *y, int32_t yInc, const float *x, int32_t xInc, float *dst,
                                   int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float yv = y[i * yInc];
        const float xv = x[i * xInc];
        const Octant o = octantOf(yv, xv);
        if (yv == 0.0f && xv == 0.0f) {
            dst[i * dstInc] = Vec_AtanQuadOffs[o.quadrant];
        } else if (std::isnan(o.ratio)) {
            dst[i * dstInc] = std::numeric_limits<float>::quiet_NaN();
        } else {
            const auto k = static_cast<int32_t>(tablePosition(o.ratio) + 0.5f);
            dst[i * dstInc] = onCircle(o, Vec_AtanTable[k]);
        }
    }
}
