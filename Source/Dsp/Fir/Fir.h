// Inner loops shared by the FIR kernels: the float tap sums of the linear-history filters, the Fract32 tap walk
// around a ring with the scaling of its 64-bit sum back to a Fract32 sample, and positions in a ring.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Dsp/Neon.h"

// The sum of the four lanes as (l0 + l2) + (l1 + l3), in that order on every machine.
static inline float kve_firLaneSum(float32x4_t v)
{
    const float32x2_t pairs = vadd_f32(vget_low_f32(v), vget_high_f32(v));
    return vget_lane_f32(pairs, 0) + vget_lane_f32(pairs, 1);
}

// Outputs dot products of the taps coefficients c with windows of x, window o starting at x + o x stride. Each
// output keeps two vector partial sums, fed alternately by the four-tap groups of every run of 16 taps and then the
// first by the remaining runs of 4; the two are added, their lanes summed, and the last one to three taps fused in
// one by one. Every output is formed by the same operations, so a sample's result does not depend on where it falls
// in a block.
template <int Outputs>
static inline void kve_firDotProducts(const float *x, ptrdiff_t stride, const float *c, int32_t taps, float *out)
{
    float32x4_t even[Outputs];
    float32x4_t odd[Outputs];
    for (int o = 0; o < Outputs; ++o) {
        even[o] = vdupq_n_f32(0.0f);
        odd[o] = vdupq_n_f32(0.0f);
    }
    int32_t k = 0;
    for (; taps - k >= 16; k += 16) {
        const float32x4_t c0 = vld1q_f32(c + k);
        const float32x4_t c1 = vld1q_f32(c + k + 4);
        const float32x4_t c2 = vld1q_f32(c + k + 8);
        const float32x4_t c3 = vld1q_f32(c + k + 12);
        for (int o = 0; o < Outputs; ++o) {
            const float *w = x + o * stride + k;
            even[o] = vfmaq_f32(even[o], c0, vld1q_f32(w));
            odd[o] = vfmaq_f32(odd[o], c1, vld1q_f32(w + 4));
            even[o] = vfmaq_f32(even[o], c2, vld1q_f32(w + 8));
            odd[o] = vfmaq_f32(odd[o], c3, vld1q_f32(w + 12));
        }
    }
    for (; taps - k >= 4; k += 4) {
        const float32x4_t c0 = vld1q_f32(c + k);
        for (int o = 0; o < Outputs; ++o) {
            even[o] = vfmaq_f32(even[o], c0, vld1q_f32(x + o * stride + k));
        }
    }
    for (int o = 0; o < Outputs; ++o) {
        const float *w = x + o * stride;
        float sum = kve_firLaneSum(vaddq_f32(even[o], odd[o]));
        for (int32_t j = k; j < taps; ++j) {
            sum = std::fma(c[j], w[j], sum);
        }
        out[o] = sum;
    }
}

// Sums for 4 x Registers consecutive outputs: output l is the sum over k of c[k x cStep] x x[k + l], the even taps
// and the odd taps each in a chain of fused multiply-adds from 0, the two chains added at the end. Each output's sum
// is formed by the same operations however many outputs are formed together (kve_firConsecutiveSum forms one), so a
// sample's result does not depend on where it falls in a block.
template <int Registers>
static inline void kve_firConsecutiveSums(const float *x, const float *c, ptrdiff_t cStep, int32_t taps, float *out)
{
    float32x4_t even[Registers];
    float32x4_t odd[Registers];
    for (int r = 0; r < Registers; ++r) {
        even[r] = vdupq_n_f32(0.0f);
        odd[r] = vdupq_n_f32(0.0f);
    }
    ptrdiff_t k = 0;
    for (; taps - k >= 2; k += 2) {
        const float cEven = c[k * cStep];
        const float cOdd = c[(k + 1) * cStep];
        for (int r = 0; r < Registers; ++r) {
            even[r] = vfmaq_n_f32(even[r], vld1q_f32(x + k + 4 * r), cEven);
            odd[r] = vfmaq_n_f32(odd[r], vld1q_f32(x + k + 1 + 4 * r), cOdd);
        }
    }
    if (k < taps) {
        for (int r = 0; r < Registers; ++r) {
            even[r] = vfmaq_n_f32(even[r], vld1q_f32(x + k + 4 * r), c[k * cStep]);
        }
    }
    for (int r = 0; r < Registers; ++r) {
        vst1q_f32(out + 4 * r, vaddq_f32(even[r], odd[r]));
    }
}

// One output of kve_firConsecutiveSums, by the same operations.
static inline float kve_firConsecutiveSum(const float *x, const float *c, ptrdiff_t cStep, int32_t taps)
{
    float even = 0.0f;
    float odd = 0.0f;
    ptrdiff_t k = 0;
    for (; taps - k >= 2; k += 2) {
        even = std::fma(x[k], c[k * cStep], even);
        odd = std::fma(x[k + 1], c[(k + 1) * cStep], odd);
    }
    if (k < taps) {
        even = std::fma(x[k], c[k * cStep], even);
    }
    return even + odd;
}

// The sum over j < taps of the Fract32 products of ring[(newest - j) modulo len] and c[j x cStep], in 64 bits,
// walked as runs of contiguous ring words back from newest, then back from the end of the ring.
static inline int64_t kve_firRingSumFract32(const Fract32 *ring, int32_t len, int32_t newest, const Fract32 *c,
                                            ptrdiff_t cStep, int32_t taps)
{
    int64_t sum = 0;
    ptrdiff_t pos = newest;
    ptrdiff_t j = 0;
    while (j < taps) {
        const ptrdiff_t run = pos + 1 < taps - j ? pos + 1 : taps - j;
        for (ptrdiff_t k = 0; k < run; ++k) {
            sum += kve_mulFract32(ring[pos - k], c[(j + k) * cStep]);
        }
        j += run;
        pos = len - 1;
    }
    return sum;
}

// A 64-bit tap sum scaled by 2^postShift and saturated to a Fract32: right shifts are arithmetic (rounding toward
// minus infinity), and counts beyond the word act as the exact scaling would. A sum outside the 32-bit range
// saturates under any left shift, so it is clamped before the shift that the product helper already defines.
static inline Fract32 kve_firScaleSum(int64_t sum, int32_t postShift)
{
    if (postShift > 0) {
        return kve_saturate64(kve_shiftProduct64(kve_saturate64(sum), postShift));
    }
    return kve_saturate64(sum >> (postShift < -63 ? 63 : -postShift));
}

// readIndex modulo len, for any readIndex (negative ones too).
static inline int32_t kve_firRingStart(int32_t readIndex, int32_t len)
{
    const int32_t r = readIndex % len;
    return r < 0 ? r + len : r;
}

// The ring position delay samples before pos (0 <= pos < len), for any unsigned delay.
static inline int32_t kve_firRingBack(int32_t pos, uint32_t delay, int32_t len)
{
    const uint32_t ringLen = static_cast<uint32_t>(len);
    const int32_t back = static_cast<int32_t>(delay < ringLen ? delay : delay % ringLen);
    const int32_t at = pos - back;
    return at < 0 ? at + len : at;
}
