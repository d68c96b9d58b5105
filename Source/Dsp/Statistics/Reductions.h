// The loops the statistics kernels share: float sums in four lanes, strided sums in index order, 64-bit Fract32
// sums, the rule that finds an extreme value and its first position, and the walk over subblocks.
//
// Every reduction of an empty block (n < 1) is 0 and reads nothing, so a subblock too short to hold a sample also
// gives 0, and no Fract32 kernel divides by zero.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Dsp/Neon.h"
#include "kve/kve_types.h"
#include "kve/kve_vec_math.h"

// ---- Float sums ----

// The sum of step(x) over src[0 .. n - 1], single precision. The first elements up to a 16-byte boundary are taken
// one by one, then sixteen per iteration in four registers of four lanes, then four per iteration, then the tail;
// the lanes are added at the end. laneStep(acc, x) and step(acc, x) add one term to an accumulator.
template <typename LaneStep, typename Step>
static inline float kve_sumLanesF32(const float *src, int32_t n, LaneStep laneStep, Step step)
{
    float head = 0.0f;
    int32_t i = 0;
    for (; i < n && (reinterpret_cast<uintptr_t>(src + i) & 15u) != 0; ++i)
        head = step(head, src[i]);
    float32x4_t a0 = vdupq_n_f32(0.0f);
    float32x4_t a1 = a0;
    float32x4_t a2 = a0;
    float32x4_t a3 = a0;
    for (; n - i >= 16; i += 16) {
        a0 = laneStep(a0, vld1q_f32(src + i));
        a1 = laneStep(a1, vld1q_f32(src + i + 4));
        a2 = laneStep(a2, vld1q_f32(src + i + 8));
        a3 = laneStep(a3, vld1q_f32(src + i + 12));
    }
    for (; n - i >= 4; i += 4)
        a0 = laneStep(a0, vld1q_f32(src + i));
    float tail = 0.0f;
    for (; i < n; ++i)
        tail = step(tail, src[i]);
    return head + vaddvq_f32(vaddq_f32(vaddq_f32(a0, a1), vaddq_f32(a2, a3))) + tail;
}

// Sum of x.
static inline float kve_sumF32(const float *src, int32_t n)
{
    return kve_sumLanesF32(
        src, n, [](float32x4_t acc, float32x4_t x) { return vaddq_f32(acc, x); },
        [](float acc, float x) { return acc + x; });
}

// Sum of x², each square added by a fused multiply-add.
static inline float kve_sumSquaresF32(const float *src, int32_t n)
{
    return kve_sumLanesF32(
        src, n, [](float32x4_t acc, float32x4_t x) { return vfmaq_f32(acc, x, x); },
        [](float acc, float x) { return std::fma(x, x, acc); });
}

// Sum of (x - m)², each square added by a fused multiply-add.
static inline float kve_sumSquaredDeviationsF32(const float *src, int32_t n, float m)
{
    const float32x4_t mean = vdupq_n_f32(m);
    return kve_sumLanesF32(
        src, n,
        [mean](float32x4_t acc, float32x4_t x) {
            const float32x4_t d = vsubq_f32(x, mean);
            return vfmaq_f32(acc, d, d);
        },
        [m](float acc, float x) { return std::fma(x - m, x - m, acc); });
}

// Sum of x over n samples srcInc apart (the increment may be 0 or negative), added in index order.
static inline float kve_sumStrideF32(const float *src, int32_t srcInc, int32_t n)
{
    float sum = 0.0f;
    for (ptrdiff_t k = 0; k < n; ++k)
        sum += src[k * srcInc];
    return sum;
}

// Sum of x² over n samples srcInc apart, in index order, each square added by a fused multiply-add.
static inline float kve_sumSquaresStrideF32(const float *src, int32_t srcInc, int32_t n)
{
    float sum = 0.0f;
    for (ptrdiff_t k = 0; k < n; ++k)
        sum = std::fma(src[k * srcInc], src[k * srcInc], sum);
    return sum;
}

// ---- Fract32 sums (exact in 64 bits: n < 2^31 words of at most 2^31 in magnitude) ----

// Sum of the words, four lanes added pairwise into two 64-bit lanes.
static inline int64_t kve_sum64Fract32(const Fract32 *src, int32_t n)
{
    int64x2_t acc = vdupq_n_s64(0);
    int32_t i = 0;
    for (; n - i >= 4; i += 4)
        acc = vpadalq_s32(acc, vld1q_s32(src + i));
    int64_t sum = vgetq_lane_s64(acc, 0) + vgetq_lane_s64(acc, 1);
    for (; i < n; ++i)
        sum += src[i];
    return sum;
}

// Sum of the Fract32 squares x × x >> 31 (-1 × -1 gives 0x7FFFFFFF), four words per iteration: the exact squares
// shifted in two 64-bit lanes, where -1 × -1 comes out one above 0x7FFFFFFF and is taken back by adding the
// all-ones compare mask (-1) of each word that is -1.
static inline int64_t kve_sumSquares64Fract32(const Fract32 *src, int32_t n)
{
    const int32x4_t minusOne = vdupq_n_s32(INT32_MIN);
    int64x2_t acc = vdupq_n_s64(0);
    int32_t i = 0;
    for (; n - i >= 4; i += 4) {
        const int32x4_t x = vld1q_s32(src + i);
        const int32x2_t low = vget_low_s32(x);
        const int32x2_t high = vget_high_s32(x);
        acc = vaddq_s64(acc, vshrq_n_s64(vmull_s32(low, low), 31));
        acc = vaddq_s64(acc, vshrq_n_s64(vmull_s32(high, high), 31));
        acc = vpadalq_s32(acc, vreinterpretq_s32_u32(vceqq_s32(x, minusOne)));
    }
    int64_t sum = vgetq_lane_s64(acc, 0) + vgetq_lane_s64(acc, 1);
    for (; i < n; ++i)
        sum += kve_mulFract32(src[i], src[i]);
    return sum;
}

// sqrt(x) of one Fract32 value x >= 0, in Q31, through the vector square root.
static inline Fract32 kve_sqrtOneFract32(Fract32 x)
{
    Fract32 root = 0;
    kve_vecSqrtFract32(&x, 1, &root, 1, 1);
    return root;
}

// ---- Extreme values ----

// The extreme of n elements srcInc apart under magnitude(), and the first position holding it. The running value
// starts at element 0; a later element takes its place when it beats it (strictly, so ties keep the first
// position) or when the running value is a NaN and the element is not, so NaN elements are passed over and the
// position always belongs to the value returned. A block of NaN only gives its first element. n < 1 returns 0 and
// writes no position; a null index is not written.
template <typename T, typename Magnitude, typename Beats>
static inline T kve_extreme(const T *src, int32_t srcInc, int32_t n, uint32_t *index, Magnitude magnitude, Beats beats)
{
    if (n < 1)
        return T{0};
    T best = magnitude(src[0]);
    uint32_t at = 0;
    for (ptrdiff_t k = 1; k < n; ++k) {
        const T x = magnitude(src[k * srcInc]);
        if (beats(x, best) || (best != best && x == x)) {
            best = x;
            at = static_cast<uint32_t>(k);
        }
    }
    if (index != nullptr)
        *index = at;
    return best;
}

template <typename T> static inline T kve_asIs(T x)
{
    return x;
}
static inline float kve_magnitudeF32(float x)
{
    return std::fabs(x);
}
template <typename T> static inline bool kve_greater(T x, T best)
{
    return x > best;
}
template <typename T> static inline bool kve_less(T x, T best)
{
    return x < best;
}

// ---- Subblocks ----

// dst[j] = statistic(subblock j) for j < numSubblocks, each subblock n / numSubblocks samples long; samples past
// the last whole subblock are left out. Nothing is written when numSubblocks < 1.
template <typename T, typename R, typename Statistic>
static inline void kve_perSubblock(const T *src, R *dst, int32_t n, int32_t numSubblocks, Statistic statistic)
{
    if (numSubblocks < 1)
        return;
    const int32_t len = n / numSubblocks;
    for (int32_t j = 0; j < numSubblocks; ++j)
        dst[j] = statistic(src + static_cast<ptrdiff_t>(j) * (len > 0 ? len : 0), len);
}
