// What the converter's calls share: the checks that decide whether a converter's ring and table can be used, ring
// positions, and the polyphase reader itself, written once for both interpolations in a scalar and a lane form for
// each machine.
//
// Every product of the reader is rounded on its own ((a x b + 2^31) >> 32) and the rounded terms are summed as exact
// integers, so the four-lane form, which takes four consecutive taps at a time, gives the same words as the scalar
// walk.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Dsp/Fract32.h"
#include "Dsp/Neon.h"
#include "kve/kve_asrc.h"

#if defined(__AVX2__)
#include "Dsp/Asrc/AsrcEightLanes.h"
#endif

// How a reader walks the taps: one at a time, four lanes (AArch64's own; emulated elsewhere) or eight lanes (x86-64
// with AVX2). All give the same words.
enum class AsrcForm { Scalar, FourLanes, EightLanes };

// A ring the calls can address: a buffer, at least one sample and one channel, positions that fit the signed 32-bit
// counts the calls return, and the total the caller's buffer was sized by.
static inline bool kve_asrcRingUsable(const qirn_asrc_state *s)
{
    return s != nullptr && s->buffer != nullptr && s->length >= 1 && s->length <= INT32_MAX && s->channels >= 1 &&
           (uint64_t{s->length} + s->guard) * s->channels == s->total && s->writeIndex < s->length;
}

// A converter the readers can run: a usable ring of Q1.31 words (there are no 16-bit readers), a table of (M + 3) rows of taps for a power-of-two M, a ring that
// holds one whole filter window, and a read position whose integer part below L fits the signed 64-bit word.
static inline bool kve_asrcReadable(const qirn_asrc_state *s)
{
    return kve_asrcRingUsable(s) && s->sampleBytes == sizeof(int32_t) && s->coefficients != nullptr && std::has_single_bit(s->phases) &&
           s->log2Phases == static_cast<uint32_t>(std::countr_zero(s->phases)) && s->phaseMask == s->phases - 1 &&
           s->taps >= 1 && s->taps <= s->length &&
           uint64_t{s->taps} * (uint64_t{s->phases} + 3) <= s->coefficientCount &&
           uint64_t{s->length} <= (uint64_t{1} << (31 - s->log2Phases));
}

// The bit where a read position's integer sample index starts (held inside the word for a table that no call reads).
static inline uint32_t kve_asrcIndexShift(const qirn_asrc_state *s)
{
    return 32 + (s->log2Phases < 31 ? s->log2Phases : 31);
}

// i modulo length, for any i (negative ones too).
static inline uint32_t kve_asrcRingIndex(int64_t i, uint32_t length)
{
    if (static_cast<uint64_t>(i) < length) {
        return static_cast<uint32_t>(i);
    }
    const int64_t r = i % length;
    return static_cast<uint32_t>(r < 0 ? r + length : r);
}

// The read position's integer sample, brought back into the ring; phase and fraction are kept.
static inline uint64_t kve_asrcWrapPosition(uint64_t p, uint32_t shift, uint32_t length)
{
    const uint64_t below = (uint64_t{1} << shift) - 1;
    const uint64_t index = kve_asrcRingIndex(static_cast<int64_t>(p) >> shift, length);
    return (index << shift) | (p & below);
}

// The rounded high word of a x b: (a x b + 2^31) >> 32, arithmetic. It always fits 32 bits (|a x b| <= 2^62), so it
// is taken as the upper half of the 64-bit sum, a shift and a narrowing the compiler can do four or eight lanes at a
// time on machines without a 64-bit arithmetic shift.
static inline int32_t kve_asrcRoundedProduct(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint64_t>(static_cast<int64_t>(a) * b + (int64_t{1} << 31)) >> 32);
}

// Four rounded high words, one per lane: (a x b + 2^31) >> 32, each the upper half of its 64-bit sum (which fits,
// since |a x b| <= 2^62).
static inline int32x4_t kve_asrcRoundedProducts4(int32x4_t a, int32x4_t b)
{
    const int64x2_t half = vdupq_n_s64(int64_t{1} << 31);
    const int64x2_t low = vaddq_s64(vmull_s32(vget_low_s32(a), vget_low_s32(b)), half);
    const int64x2_t high = vaddq_s64(vmull_s32(vget_high_s32(a), vget_high_s32(b)), half);
    return vuzp2q_s32(vreinterpretq_s32_s64(low), vreinterpretq_s32_s64(high));
}

// The interpolation between two neighbouring rows: weights 1 - t and t in Q1.31. The rows' gain comes back as the
// accumulator x 4.
struct AsrcLinear {
    static constexpr int kRows = 2;
    static constexpr int64_t kGain = 4;

    static void weights(int64_t t, int32_t *w)
    {
        w[0] = static_cast<int32_t>(0x7FFFFFFF - t);
        w[1] = static_cast<int32_t>(t);
    }
};

// The interpolation across four neighbouring rows: half the cubic Lagrange weights for nodes -1, 0, 1, 2 in Q1.31.
// The rows' gain comes back as the accumulator x 8.
struct AsrcCubic {
    static constexpr int kRows = 4;
    static constexpr int64_t kGain = 8;

    static void weights(int64_t t, int32_t *w)
    {
        const int64_t t2 = (t * t) >> 31;
        const int64_t t3 = (t * t2) >> 31;
        w[0] = static_cast<int32_t>(((t * t) >> 33) - ((t3 * 0x0AAAAAAB) >> 31) - ((t * 0x15555555) >> 31));
        w[1] = static_cast<int32_t>(((t * t2) >> 33) - ((t2 * 0x40000000) >> 31) - ((t * 0x20000000) >> 31) +
                                    0x40000000);
        w[2] = static_cast<int32_t>(((t * t) >> 33) - ((t3 * 0x20000000) >> 31) + (t >> 1));
        w[3] = static_cast<int32_t>(((t3 * 0x0AAAAAAB) >> 31) - ((t * 0x0AAAAAAB) >> 31));
    }
};

// Taps whose interpolated coefficients one frame keeps at a time; longer filters are walked in blocks of this many.
inline constexpr uint32_t kAsrcTapBlock = 256;

// Coefficients of taps first .. first + count - 1 for one frame, stored in reverse (tap first + count - 1 first), so
// that they pair with the ring's samples oldest first. Coefficient j is the sum over the interpolation's rows k of
// the rounded products of weight k and row k's tap j; the sum fits 32 bits, as the weights' magnitudes add up to
// at most one.
template <typename Interp, AsrcForm Form>
static inline void kve_asrcCoefficients(const int32_t *rows, uint32_t taps, const int32_t *w, uint32_t first,
                                        uint32_t count, int32_t *__restrict reversed)
{
    uint32_t j = 0;
#if defined(__AVX2__)
    if constexpr (Form == AsrcForm::EightLanes) {
        j = kve_asrcCoefficients8<Interp::kRows>(rows, taps, w, first, count, reversed);
    }
#endif
    if constexpr (Form == AsrcForm::FourLanes) {
        for (; count - j >= 4; j += 4) {
            int32x4_t c = vdupq_n_s32(0);
            for (int k = 0; k < Interp::kRows; ++k) {
                const int32x4_t row = vld1q_s32(rows + static_cast<size_t>(k) * taps + first + j);
                c = vaddq_s32(c, kve_asrcRoundedProducts4(vdupq_n_s32(w[k]), row));
            }
            const int32x4_t swapped = vrev64q_s32(c);
            vst1q_s32(reversed + count - j - 4, vextq_s32(swapped, swapped, 2));
        }
    }
    // The sum fits 32 bits, so it is formed in wrapping 32-bit words: the same word as the exact sum. Stored down
    // through a pointer, which the compiler vectorises (an index counting down it does not).
    int32_t *next = reversed + (count - j);
    for (; j < count; ++j) {
        uint32_t c = 0;
        for (int k = 0; k < Interp::kRows; ++k) {
            c += static_cast<uint32_t>(kve_asrcRoundedProduct(w[k], rows[static_cast<size_t>(k) * taps + first + j]));
        }
        *--next = static_cast<int32_t>(c);
    }
}

// The sum of the rounded products of count contiguous samples and coefficients.
template <AsrcForm Form>
static inline int64_t kve_asrcDot(const int32_t *x, const int32_t *c, uint32_t count)
{
    int64_t sum = 0;
    uint32_t k = 0;
#if defined(__AVX2__)
    if constexpr (Form == AsrcForm::EightLanes) {
        sum = kve_asrcDot8(x, c, count, &k);
    }
#endif
    if constexpr (Form == AsrcForm::FourLanes) {
        int64x2_t lanes = vdupq_n_s64(0);
        for (; count - k >= 4; k += 4) {
            const int32x4_t terms = kve_asrcRoundedProducts4(vld1q_s32(x + k), vld1q_s32(c + k));
            lanes = vpadalq_s32(lanes, terms);
        }
        sum = vgetq_lane_s64(lanes, 0) + vgetq_lane_s64(lanes, 1);
    }
    for (; k < count; ++k) {
        sum += kve_asrcRoundedProduct(x[k], c[k]);
    }
    return sum;
}

// The same sum over count ring samples from position oldest on, wrapping at length (count <= length).
template <AsrcForm Form>
static inline int64_t kve_asrcRingDot(const int32_t *plane, uint32_t length, uint32_t oldest, const int32_t *c,
                                      uint32_t count)
{
    const uint32_t run = length - oldest < count ? length - oldest : count;
    return kve_asrcDot<Form>(plane + oldest, c, run) + kve_asrcDot<Form>(plane, c + run, count - run);
}

// The readers' form: the machine's own lanes (four on AArch64, eight with AVX2); elsewhere the four lanes would be
// emulated and the scalar walk, which the compiler vectorises itself, is faster.
#if defined(__aarch64__)
inline constexpr AsrcForm kAsrcForm = AsrcForm::FourLanes;
#elif defined(__AVX2__)
inline constexpr AsrcForm kAsrcForm = AsrcForm::EightLanes;
#else
inline constexpr AsrcForm kAsrcForm = AsrcForm::Scalar;
#endif

// Reads n output frames: each channel's plane filtered by the frame's interpolated coefficients, newest sample with
// tap 0, the sum scaled back to the rows' gain and saturated; frames interleaved in channel order. The read position
// advances by the step after each frame and is brought back into the ring after the last. The caller has checked
// that the converter is readable and n >= 1.
template <typename Interp, AsrcForm Form>
static inline void kve_asrcReadFrames(qirn_asrc_state *s, int32_t *out, int32_t n)
{
    const uint32_t length = s->length;
    const uint32_t taps = s->taps;
    const uint32_t shift = kve_asrcIndexShift(s);
    const uint32_t channels = s->channels;
    const size_t stride = size_t{length} + s->guard;
    const auto *ring = static_cast<const int32_t *>(s->buffer);
    const uint64_t step = static_cast<uint64_t>(s->step);
    const bool oneBlock = taps <= kAsrcTapBlock;
    uint64_t p = static_cast<uint64_t>(s->readPosition);
    int32_t c[kAsrcTapBlock];
    for (size_t f = 0; f < static_cast<size_t>(n); ++f, p += step) {
        const uint32_t oldest = kve_asrcRingIndex(static_cast<int64_t>(p) >> shift, length);
        const uint32_t phase = static_cast<uint32_t>(p >> 32) & s->phaseMask;
        int32_t w[Interp::kRows];
        Interp::weights(static_cast<int64_t>((p >> 1) & 0x7FFFFFFF), w);
        const int32_t *rows = s->coefficients + static_cast<size_t>(phase) * taps;
        if (oneBlock) {
            kve_asrcCoefficients<Interp, Form>(rows, taps, w, 0, taps, c);
        }
        for (uint32_t ch = 0; ch < channels; ++ch) {
            const int32_t *plane = ring + ch * stride;
            int64_t acc = 0;
            // Block b covers taps first .. first + count - 1, whose oldest sample lies taps - first - count samples
            // after the window's oldest.
            for (uint32_t first = 0; first < taps; first += kAsrcTapBlock) {
                const uint32_t count = taps - first < kAsrcTapBlock ? taps - first : kAsrcTapBlock;
                if (!oneBlock) {
                    kve_asrcCoefficients<Interp, Form>(rows, taps, w, first, count, c);
                }
                const uint32_t blockOldest = kve_asrcRingIndex(int64_t{oldest} + (taps - first - count), length);
                acc += kve_asrcRingDot<Form>(plane, length, blockOldest, c, count);
            }
            out[f * channels + ch] = kve_saturate64(kve_saturate64(acc) * Interp::kGain);
        }
    }
    s->readPosition = static_cast<int64_t>(kve_asrcWrapPosition(p, shift, length));
}

// The reader's call: the loop filter first (when regulating), then n frames; n < 1 only brings the read position
// back into the ring. A converter that cannot be read gives silence and -1.
template <typename Interp>
static inline int32_t kve_asrcRead(qirn_asrc_state *s, int32_t *out, int32_t n)
{
    if (!kve_asrcReadable(s)) {
        if (s != nullptr && out != nullptr && n > 0) {
            std::memset(out, 0, static_cast<size_t>(n) * s->channels * sizeof(int32_t));
        }
        return -1;
    }
    if (n < 1) {
        s->readPosition = static_cast<int64_t>(
            kve_asrcWrapPosition(static_cast<uint64_t>(s->readPosition), kve_asrcIndexShift(s), s->length));
        return 0;
    }
    if (out == nullptr) {
        return -1;
    }
    if (s->regulate != 0) {
        qirn_asrc_regulate_fstep(s, n);
    }
    kve_asrcReadFrames<Interp, kAsrcForm>(s, out, n);
    return 0;
}
