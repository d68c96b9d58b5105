#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// Sine, cosine and complex exponential of angles in turns, read from the 512-entry sine table: the position is
// x x 512 entries, indices wrap with a mask, a cosine reads a quarter period (128 entries) ahead.
namespace {

constexpr int64_t kMask = 511;
constexpr int64_t kQuarter = 128;

// Past 2^33 entries every float is a whole number of turns, so holding a position there keeps its entry and lets
// any float, however large, become an integer index. NaN stays NaN.
float tablePosition(float x)
{
    return std::clamp(x * 512.0f, -0x1p33f, 0x1p33f);
}

// p truncated toward zero; NaN reads entry 0.
int64_t truncated(float p)
{
    return std::isnan(p) ? 0 : static_cast<int64_t>(p);
}

struct Between {
    int64_t index; // entry below the position
    float frac;    // 0 to 1 toward the next entry
};

// The entry below p is p truncated, or p - 1 truncated for negative p, so a negative whole position reads the
// entry below it with a fraction of 1.
Between linearPosition(float x)
{
    const float p = tablePosition(x);
    const int64_t index = truncated(p < 0.0f ? p - 1.0f : p);
    return {index, p - static_cast<float>(index)};
}

// p rounded half away from zero.
int64_t nearestIndex(float x)
{
    const float p = tablePosition(x);
    return truncated(p < 0.0f ? (p + 0.5f) - 1.0f : p + 0.5f);
}

// The table at a position offset by `ahead` entries, interpolated in one fused multiply-add.
float readLinear(Between at, int64_t ahead)
{
    const float below = Vec_SinTable[(at.index + ahead) & kMask];
    const float above = Vec_SinTable[(at.index + ahead + 1) & kMask];
    return std::fma(above - below, at.frac, below);
}

float readNearest(int64_t index, int64_t ahead)
{
    return Vec_SinTable[(index + ahead) & kMask];
}

} // namespace

// dst = sin(2 pi x), interpolated between the two nearest table entries.
extern "C" void kve_vecSinuiLinear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = readLinear(linearPosition(src[i * srcInc]), 0);
    }
}

// dst = sin(2 pi x), the nearest table entry.
extern "C" void kve_vecSinuiNear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = readNearest(nearestIndex(src[i * srcInc]), 0);
    }
}

// dst = cos(2 pi x), interpolated between the two nearest table entries.
extern "C" void kve_vecCosuiLinear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = readLinear(linearPosition(src[i * srcInc]), kQuarter);
    }
}

// dst = cos(2 pi x), the nearest table entry.
extern "C" void kve_vecCosuiNear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = readNearest(nearestIndex(src[i * srcInc]), kQuarter);
    }
}

// dst pairs = (cos 2 pi x, sin 2 pi x), interpolated; dstInc counts floats.
extern "C" void kve_vecCexpuiLinear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const Between at = linearPosition(src[i * srcInc]);
        dst[i * dstInc] = readLinear(at, kQuarter);
        dst[i * dstInc + 1] = readLinear(at, 0);
    }
}

// dst pairs = (cos 2 pi x, sin 2 pi x), nearest entries; dstInc counts floats.
extern "C" void kve_vecCexpuiNear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const int64_t index = nearestIndex(src[i * srcInc]);
        dst[i * dstInc] = readNearest(index, kQuarter);
        dst[i * dstInc + 1] = readNearest(index, 0);
    }
}
