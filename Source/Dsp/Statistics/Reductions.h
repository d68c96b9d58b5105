// The loops the statistics kernels share: float sums in four lanes, strided sums in index order, 64-bit Fract32
// sums, the rule that finds an extreme value and its first position, and the walk over subblocks.
//
// Every reduction of an empty block (n < 1) is 0 and reads nothing, so a subblock too short to hold a sample also
// gives 0, and no Fract32 kernel divides by zero.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "Dsp/Fract32.h"
#include "Dsp/Neon.h"
#include "kve/kve_types.h"
#include "kve/kve_vec_math.h"

// ---- Float sums ----

// The sum of step(x) over src[0 .. n - 1], single precision. The first elements up to a 16-byte boundary are taken
// one by one, then thirty-two per iteration into eight registers of four lanes (eight independent chains keep the
// adder busy while each fused multiply-add waits for the one before it), then four per iteration, then the tail;
// the lanes are added at the end. laneStep(acc, x) and step(acc, x) add one term to an accumulator.
template <typename LaneStep, typename Step>
static inline float kve_sumLanesF32(const float *src, int32_t n, LaneStep laneStep, Step step)
{
    float head = 0.0f;
    int32_t i = 0;
    for (; i < n && (reinterpret_cast<uintptr_t>(src + i) & 15u) != 0; ++i)
        head = step(head, src[i]);
    float32x4_t a0 = vdupq_n_f32(0.0f);
    float32x4_t a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
    for (; n - i >= 32; i += 32) {
        a0 = laneStep(a0, vld1q_f32(src + i));
        a1 = laneStep(a1, vld1q_f32(src + i + 4));
        a2 = laneStep(a2, vld1q_f32(src + i + 8));
        a3 = laneStep(a3, vld1q_f32(src + i + 12));
        a4 = laneStep(a4, vld1q_f32(src + i + 16));
        a5 = laneStep(a5, vld1q_f32(src + i + 20));
        a6 = laneStep(a6, vld1q_f32(src + i + 24));
        a7 = laneStep(a7, vld1q_f32(src + i + 28));
    }
    for (; n - i >= 4; i += 4)
        a0 = laneStep(a0, vld1q_f32(src + i));
    float tail = 0.0f;
    for (; i < n; ++i)
        tail = step(tail, src[i]);
    const float32x4_t lanes =
        vaddq_f32(vaddq_f32(vaddq_f32(a0, a4), vaddq_f32(a1, a5)), vaddq_f32(vaddq_f32(a2, a6), vaddq_f32(a3, a7)));
    return head + vaddvq_f32(lanes) + tail;
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

// Which value an extreme-value kernel keeps: of the samples (kMagnitude: of their magnitudes, the Fract32 magnitude
// of 0x80000000 being 0x7FFFFFFF), the largest (kLargest) or the smallest. A sample takes the running value's place
// when it beats it strictly, so ties keep the first position, or when the running value is a NaN and the sample is
// not: NaN samples are passed over and the position always belongs to the value returned. A block of NaN only
// gives its first sample.
template <typename T, bool kMagnitude, bool kLargest> struct kve_ExtremeRule {
    static constexpr bool kFloat = std::is_same_v<T, float>;
    using Lanes = std::conditional_t<kFloat, float32x4_t, int32x4_t>;

    static T magnitude(T x)
    {
        if constexpr (!kMagnitude)
            return x;
        else if constexpr (kFloat)
            return std::fabs(x);
        else
            return kve_absFract32(x);
    }

    static bool beats(T x, T best) { return kLargest ? x > best : x < best; }

    static bool takes(T x, T best)
    {
        if constexpr (kFloat)
            return beats(x, best) || (std::isnan(best) && !std::isnan(x));
        else
            return beats(x, best);
    }

    // The value no sample falls behind: every sample beats it or equals it.
    static constexpr T kWorst =
        kFloat ? (kLargest ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity())
               : (kLargest ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max());

    static Lanes load(const T *p)
    {
        if constexpr (kFloat) {
            const float32x4_t x = vld1q_f32(p);
            if constexpr (kMagnitude)
                return vabsq_f32(x);
            else
                return x;
        } else {
            const int32x4_t x = vld1q_s32(p);
            if constexpr (kMagnitude) // |0x80000000| wraps to 0x80000000, which as unsigned is one above the limit
                return vreinterpretq_s32_u32(vminq_u32(vreinterpretq_u32_s32(vabsq_s32(x)), vdupq_n_u32(INT32_MAX)));
            else
                return x;
        }
    }

    static uint32x4_t beatsLanes(Lanes x, Lanes best)
    {
        if constexpr (kFloat)
            return kLargest ? vcgtq_f32(x, best) : vcltq_f32(x, best);
        else
            return kLargest ? vcgtq_s32(x, best) : vcltq_s32(x, best);
    }

    static Lanes fill(T v)
    {
        if constexpr (kFloat)
            return vdupq_n_f32(v);
        else
            return vdupq_n_s32(v);
    }

    static Lanes select(uint32x4_t mask, Lanes a, Lanes b)
    {
        if constexpr (kFloat)
            return vbslq_f32(mask, a, b);
        else
            return vbslq_s32(mask, a, b);
    }

    static void store(T *p, Lanes v)
    {
        if constexpr (kFloat)
            vst1q_f32(p, v);
        else
            vst1q_s32(p, v);
    }
};

// The extreme of n samples srcInc apart (the increment may be 0 or negative) under Rule, one sample at a time;
// *index = its first position counted in samples. n < 1 returns 0 and writes no position; a null index is not
// written.
template <typename Rule, typename T>
static inline T kve_extremeStrided(const T *src, int32_t srcInc, int32_t n, uint32_t *index)
{
    if (n < 1)
        return T{0};
    T best = Rule::magnitude(src[0]);
    uint32_t at = 0;
    for (ptrdiff_t k = 1; k < n; ++k) {
        const T x = Rule::magnitude(src[k * srcInc]);
        if (Rule::takes(x, best)) {
            best = x;
            at = static_cast<uint32_t>(k);
        }
    }
    if (index != nullptr)
        *index = at;
    return best;
}

// The same extreme over contiguous samples. Four sets of four lanes each keep their own extreme, and the start of
// the sixteen samples it came from, over sixteen samples per iteration. The lanes start from the value every sample
// beats or equals (kWorst), so a NaN never enters them (it beats nothing) and each iteration is a compare and two
// selects. The lanes are then folded together, equal values keeping the earlier position, and the last samples are
// taken one by one. Only a block whose samples are all kWorst or NaN leaves the lanes at kWorst; it is walked
// again one sample at a time, where the first sample sets the position.
template <typename Rule, typename T> static inline T kve_extremeContiguous(const T *src, int32_t n, uint32_t *index)
{
    using Lanes = typename Rule::Lanes;
    if (n < 16)
        return kve_extremeStrided<Rule>(src, 1, n, index);
    Lanes best[4];
    uint32x4_t from[4];
    for (int s = 0; s < 4; ++s) {
        best[s] = Rule::fill(Rule::kWorst);
        from[s] = vdupq_n_u32(0);
    }
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const uint32x4_t start = vdupq_n_u32(static_cast<uint32_t>(i));
        for (int s = 0; s < 4; ++s) {
            const Lanes x = Rule::load(src + i + 4 * s);
            const uint32x4_t take = Rule::beatsLanes(x, best[s]);
            best[s] = Rule::select(take, x, best[s]);
            from[s] = vbslq_u32(take, start, from[s]);
        }
    }
    T value = Rule::kWorst;
    uint32_t found = 0;
    for (int s = 0; s < 4; ++s) {
        T values[4];
        uint32_t starts[4];
        Rule::store(values, best[s]);
        vst1q_u32(starts, from[s]);
        for (uint32_t lane = 0; lane < 4; ++lane) {
            const uint32_t at = starts[lane] + static_cast<uint32_t>(4 * s) + lane;
            if (Rule::beats(values[lane], value) || (values[lane] == value && at < found)) {
                value = values[lane];
                found = at;
            }
        }
    }
    if (!Rule::beats(value, Rule::kWorst))
        return kve_extremeStrided<Rule>(src, 1, n, index);
    for (; i < n; ++i) {
        const T x = Rule::magnitude(src[i]);
        if (Rule::takes(x, value)) {
            value = x;
            found = static_cast<uint32_t>(i);
        }
    }
    if (index != nullptr)
        *index = found;
    return value;
}

// Either walk, by the increment.
template <typename Rule, typename T>
static inline T kve_extreme(const T *src, int32_t srcInc, int32_t n, uint32_t *index)
{
    return srcInc == 1 ? kve_extremeContiguous<Rule>(src, n, index) : kve_extremeStrided<Rule>(src, srcInc, n, index);
}

using kve_MaxF32 = kve_ExtremeRule<float, false, true>;
using kve_MinF32 = kve_ExtremeRule<float, false, false>;
using kve_MaxAbsF32 = kve_ExtremeRule<float, true, true>;
using kve_MinAbsF32 = kve_ExtremeRule<float, true, false>;
using kve_MaxFract32 = kve_ExtremeRule<Fract32, false, true>;
using kve_MinFract32 = kve_ExtremeRule<Fract32, false, false>;
using kve_MaxAbsFract32 = kve_ExtremeRule<Fract32, true, true>;

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
