// What the float biquad kernels share: the arithmetic of the direct-form-II and state-space sections, written once
// for one float and for a register of four lanes (one channel per lane), and the loops that run a cascade of
// sections over one channel or over the interleaved channels of a frame.
//
// A section type has `static constexpr int kWords` state words in `word[]`, in the order the kernels store them, a
// constructor that takes a function giving its coefficient j (0 to 4), and `step(x)`, one sample in and one out.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "Dsp/Neon.h"

// ---- Arithmetic on a float or on four lanes, each operation rounded once ----

static inline float kve_bqMul(float a, float b) { return a * b; }
static inline float kve_bqAdd(float a, float b) { return a + b; }
static inline float kve_bqNeg(float a) { return -a; }
static inline float kve_bqFma(float a, float b, float c) { return std::fma(a, b, c); } // a x b + c, fused

static inline float32x4_t kve_bqMul(float32x4_t a, float32x4_t b) { return vmulq_f32(a, b); }
static inline float32x4_t kve_bqAdd(float32x4_t a, float32x4_t b) { return vaddq_f32(a, b); }
static inline float32x4_t kve_bqNeg(float32x4_t a) { return vnegq_f32(a); }
static inline float32x4_t kve_bqFma(float32x4_t a, float32x4_t b, float32x4_t c) { return vfmaq_f32(c, a, b); }

// ---- Sections ----

// Direct form II; state w[n-1], w[n-2]. The feed-forward taps are folded into the recursion,
// d1 = b1 - a1 b0 and d2 = b2 - a2 b0 (each fused), so the output needs only the delayed w values and does not wait
// for the new w: y = b0 x + (d1 w1 + d2 w2) equals b0 w + b1 w1 + b2 w2 of the textbook form. Per sample:
// y = fma(b0, x, fma(d1, w1, d2 w2)); w = fma(-a2, w2, -a1 w1) + x.
template <typename T>
class KveDf2Section {
public:
    static constexpr int kWords = 2;
    T word[kWords];

    KveDf2Section() = default;
    template <typename Coeff>
    explicit KveDf2Section(Coeff c)
        : b0_(c(0)), d1_(kve_bqFma(kve_bqNeg(c(3)), c(0), c(1))), d2_(kve_bqFma(kve_bqNeg(c(4)), c(0), c(2))),
          na1_(kve_bqNeg(c(3))), na2_(kve_bqNeg(c(4)))
    {
    }

    T step(T x)
    {
        const T y = kve_bqFma(b0_, x, kve_bqFma(d1_, word[0], kve_bqMul(d2_, word[1])));
        const T w = kve_bqAdd(kve_bqFma(na2_, word[1], kve_bqMul(na1_, word[0])), x);
        word[1] = word[0];
        word[0] = w;
        return y;
    }

private:
    T b0_, d1_, d2_, na1_, na2_;
};

// State space from the parameters c0..c4 of design_sos2ss; state s0, s1: s0 is the transposed direct form's first
// word and s1 its second plus c1 s0, which keeps low-frequency sections accurate in float. Per sample:
// y = fma(c3, x, s0); s0' = fma(c1, s0, fma(c4, x, s1)); s1' = fma(c1, s1, fma(c2, s0, c0 x)).
template <typename T>
class KveStateSpaceSection {
public:
    static constexpr int kWords = 2;
    T word[kWords];

    KveStateSpaceSection() = default;
    template <typename Coeff>
    explicit KveStateSpaceSection(Coeff c) : c0_(c(0)), c1_(c(1)), c2_(c(2)), c3_(c(3)), c4_(c(4))
    {
    }

    T step(T x)
    {
        const T y = kve_bqFma(c3_, x, word[0]);
        const T s0 = kve_bqFma(c1_, word[0], kve_bqFma(c4_, x, word[1]));
        const T s1 = kve_bqFma(c1_, word[1], kve_bqFma(c2_, word[0], kve_bqMul(c0_, x)));
        word[0] = s0;
        word[1] = s1;
        return y;
    }

private:
    T c0_, c1_, c2_, c3_, c4_;
};

// ---- Running a cascade ----

// Calls run(in, inInc, first, group) for sections [first, first + group) in groups of up to four, group being an
// std::integral_constant: the first group reads src, every later one runs on dst in place. A group of sections is
// run a frame at a time through all of them, with their state in registers: their recursions are independent
// within a frame, so the processor overlaps them instead of waiting on one section's previous sample. Each section
// still sees its samples in order, so the output is, bit for bit, what running the block through one section
// after the other gives. An output increment of 0 leaves one frame for every section to read back, so there the
// sections run one at a time, each over the whole block, as the definition has them.
template <typename Run>
void kve_forEachSectionGroup(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t numStages,
                             int32_t n, Run run)
{
    if (n < 1 || numStages < 1) {
        return;
    }
    const int32_t groupSize = dstInc == 0 ? 1 : 4; // four sections' recursions cover the latency of one
    const float *in = src;
    ptrdiff_t inInc = srcInc;
    for (int32_t first = 0; first < numStages; first += groupSize) {
        switch (std::min(numStages - first, groupSize)) {
        case 4:
            run(in, inInc, ptrdiff_t{first}, std::integral_constant<int, 4>{});
            break;
        case 3:
            run(in, inInc, ptrdiff_t{first}, std::integral_constant<int, 3>{});
            break;
        case 2:
            run(in, inInc, ptrdiff_t{first}, std::integral_constant<int, 2>{});
            break;
        default:
            run(in, inInc, ptrdiff_t{first}, std::integral_constant<int, 1>{});
            break;
        }
        in = dst;
        inInc = dstInc;
    }
}

// G sections of one channel, coefficients from coeffs (five per section), state from state (kWords per section).
template <typename Section, int G>
void kve_runSectionGroup(const float *src, ptrdiff_t srcInc, float *dst, ptrdiff_t dstInc, const float *coeffs,
                         float *state, ptrdiff_t n)
{
    constexpr int W = Section::kWords;
    Section sections[G];
    for (int g = 0; g < G; ++g) {
        sections[g] = Section([&](int j) { return coeffs[5 * g + j]; });
        for (int j = 0; j < W; ++j) {
            sections[g].word[j] = state[W * g + j];
        }
    }
    for (ptrdiff_t t = 0; t < n; ++t) {
        float v = src[t * srcInc];
        for (int g = 0; g < G; ++g) {
            v = sections[g].step(v);
        }
        dst[t * dstInc] = v;
    }
    for (int g = 0; g < G; ++g) {
        for (int j = 0; j < W; ++j) {
            state[W * g + j] = sections[g].word[j];
        }
    }
}

// numStages sections of one channel, state words one section after another.
template <typename Section>
void kve_runCascade(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs, float *state,
                    int32_t numStages, int32_t n)
{
    kve_forEachSectionGroup(src, srcInc, dst, dstInc, numStages, n, [&](const float *in, ptrdiff_t inInc,
                                                                        ptrdiff_t first, auto group) {
        kve_runSectionGroup<Section, decltype(group)::value>(in, inInc, dst, dstInc, coeffs + 5 * first,
                                                             state + Section::kWords * first, n);
    });
}

// Where the sections of C channels (in lanes) are: channel c's section k takes its coefficients at coeffs[c] + 5k
// and its state word j at state[c] + k x sectionWords + j x wordStride.
template <int C>
struct KveBiquadLanes {
    const float *coeffs[C];
    float *state[C];
    ptrdiff_t sectionWords;
    ptrdiff_t wordStride;
};

// The value at p[c] + i of every channel c, channel c in lane c; with two channels lanes 2 and 3 repeat lanes 0
// and 1, so every lane computes on numbers of the signal.
template <int C, typename P>
float32x4_t kve_gatherLanes(const P (&p)[C], ptrdiff_t i)
{
    const float lanes[4] = {p[0][i], p[1 % C][i], p[2 % C][i], p[3 % C][i]};
    return vld1q_f32(lanes);
}

template <int C>
void kve_scatterLanes(float *const (&p)[C], ptrdiff_t i, float32x4_t v)
{
    float lanes[4];
    vst1q_f32(lanes, v);
    for (int c = 0; c < C; ++c) {
        p[c][i] = lanes[c];
    }
}

// One frame of C = 2 or 4 adjacent channels into the lanes, and back.
template <int C>
float32x4_t kve_loadFrame(const float *p)
{
    if constexpr (C == 4) {
        return vld1q_f32(p);
    } else {
        const float32x2_t v = vld1_f32(p);
        return vcombine_f32(v, v);
    }
}

template <int C>
void kve_storeFrame(float *p, float32x4_t v)
{
    if constexpr (C == 4) {
        vst1q_f32(p, v);
    } else {
        vst1_f32(p, vget_low_f32(v));
    }
}

// G sections of C channels, one channel per lane. Two back-to-back channels are taken four frames at a time (two
// registers in, two out), any other layout a frame at a time.
template <typename Section, int C, int G>
void kve_runLaneGroup(const float *src, ptrdiff_t srcInc, float *dst, ptrdiff_t dstInc, const KveBiquadLanes<C> &bank,
                      ptrdiff_t first, ptrdiff_t n)
{
    static_assert(C == 2 || C == 4, "two or four channels to a register");
    constexpr int W = Section::kWords;
    Section sections[G];
    for (int g = 0; g < G; ++g) {
        const ptrdiff_t k = first + g;
        sections[g] = Section([&](int j) { return kve_gatherLanes<C>(bank.coeffs, 5 * k + j); });
        for (int j = 0; j < W; ++j) {
            sections[g].word[j] = kve_gatherLanes<C>(bank.state, k * bank.sectionWords + j * bank.wordStride);
        }
    }
    const auto run = [&](float32x4_t x) {
        for (int g = 0; g < G; ++g) {
            x = sections[g].step(x);
        }
        return x;
    };
    ptrdiff_t t = 0;
    if (C == 2 && srcInc == 2 && dstInc == 2) {
        for (; n - t >= 4; t += 4) {
            const float32x4_t x01 = vld1q_f32(src + 2 * t);
            const float32x4_t x23 = vld1q_f32(src + 2 * t + 4);
            const float32x4_t y0 = run(x01);
            const float32x4_t y1 = run(vextq_f32(x01, x01, 2));
            const float32x4_t y2 = run(x23);
            const float32x4_t y3 = run(vextq_f32(x23, x23, 2));
            vst1q_f32(dst + 2 * t, vcombine_f32(vget_low_f32(y0), vget_low_f32(y1)));
            vst1q_f32(dst + 2 * t + 4, vcombine_f32(vget_low_f32(y2), vget_low_f32(y3)));
        }
    }
    for (; t < n; ++t) {
        kve_storeFrame<C>(dst + t * dstInc, run(kve_loadFrame<C>(src + t * srcInc)));
    }
    for (int g = 0; g < G; ++g) {
        const ptrdiff_t k = first + g;
        for (int j = 0; j < W; ++j) {
            kve_scatterLanes<C>(bank.state, k * bank.sectionWords + j * bank.wordStride, sections[g].word[j]);
        }
    }
}

// numStages sections over n frames of C = 2 or 4 interleaved channels.
template <typename Section, int C>
void kve_runLaneCascade(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const KveBiquadLanes<C> &bank,
                        int32_t numStages, int32_t n)
{
    kve_forEachSectionGroup(src, srcInc, dst, dstInc, numStages, n, [&](const float *in, ptrdiff_t inInc,
                                                                        ptrdiff_t first, auto group) {
        kve_runLaneGroup<Section, C, decltype(group)::value>(in, inInc, dst, dstInc, bank, first, n);
    });
}
