/* Float biquad kernels: direct-form, cascade, multi-channel, extended-precision and state-space second-order sections.
 *
 * A section is five floats b0, b1, b2, a1, a2 for y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]; a
 * cascade of numStages sections stores them one after another. The state-space forms (SS, HP) take instead the five
 * parameters c0..c4 that design_sos2ss writes. The caller zeroes the state when a filter is created or reset and
 * keeps it between blocks; coefficients may change between blocks, the state carries on.
 *
 * State words per channel and section: direct form II 2 (w[n-1], w[n-2]); direct form I 4 (x[n-1], x[n-2], y[n-1],
 * y[n-2]); state-space 2 (s0, s1); the transposed _SIMD4 forms 2 (s0, s1); the extended-precision forms 2 quad
 * values (s0, s1).
 *
 * Multi-channel kernels take interleaved frames; their increments are the distance in floats from one frame to the
 * next, and n counts frames. In a cascade the first section reads src and writes dst, every later one runs on dst
 * in place. Every kernel may run in place (dst equal to src, equal increments). Nothing is read or written when n,
 * or the section count, is below 1. */
#ifndef KVE_VEC_BIQUAD_H
#define KVE_VEC_BIQUAD_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* IEEE binary128 (quad precision), the type of the extended-precision coefficients and state: long double on AArch64;
 * on x86-64, whose long double is the 80-bit x87 format, the compiler's __float128. */
#if defined(__aarch64__)
typedef long double kve_LongDouble;
#elif defined(__x86_64__)
typedef __float128 kve_LongDouble;
#else
#error "no IEEE binary128 type known for this processor"
#endif

/* ---- Direct form II; state w[n-1], w[n-2] per channel ---- */
void kve_vecBiquad(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs, float *state,
                   int32_t n);
/* One coefficient set for both channels; state: channel 0's two words, then channel 1's. */
void kve_vecBiquad_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                       float *state, int32_t n);
/* One coefficient set for all four channels; state: two words per channel, channel 0 first. */
void kve_vecBiquad_4ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                       float *state, int32_t n);
void kve_vecBiquadCascade(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                          float *state, int32_t numStages, int32_t n);
/* Two channels, one coefficient array (or one per channel, NCascade); state planar by channel: channel 0's
 * 2 x numStages words, then channel 1's. */
void kve_vecBiquadCascade_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                              float *state, int32_t numStages, int32_t n);
void kve_vecBiquadNCascade_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs0,
                               const float *coeffs1, float *state, int32_t numStages, int32_t n);

/* ---- Direct form I; state x[n-1], x[n-2], y[n-1], y[n-2] per section. A section with a2 = 0 and b2 = 0 runs
 * first-order and leaves x[n-2] and y[n-2] as they were ---- */
void kve_vecBiquad_DF1(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                       float *state, int32_t n);
void kve_vecBiquadCascade_DF1(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                              float *state, int32_t numStages, int32_t n);

/* ---- State space from design_sos2ss parameters c0..c4; state s0, s1. HP is the same arithmetic as SS. The
 * single two-channel sections keep their state as s0 of channel 0, s0 of channel 1, s1 of channel 0, s1 of
 * channel 1; the two-channel cascades keep it planar by channel ---- */
void kve_vecBiquadSS(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs, float *state,
                     int32_t n);
void kve_vecBiquadHP(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs, float *state,
                     int32_t n);
void kve_vecBiquadSS_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                         float *state, int32_t n);
void kve_vecBiquadHP_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                         float *state, int32_t n);
void kve_vecBiquadCascadeSS(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                            float *state, int32_t numStages, int32_t n);
void kve_vecBiquadCascadeHP(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                            float *state, int32_t numStages, int32_t n);
void kve_vecBiquadCascadeSS_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                float *state, int32_t numStages, int32_t n);
void kve_vecBiquadCascadeHP_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                float *state, int32_t numStages, int32_t n);

/* ---- Transposed direct form II in quad precision; float samples, quad coefficients and state s0, s1; the
 * feedback takes the output as rounded to float ---- */
void kve_vecBiquad40(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const kve_LongDouble *coeffs,
                     kve_LongDouble *state, int32_t n);
void kve_vecBiquadCascade40(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                            const kve_LongDouble *coeffs, kve_LongDouble *state, int32_t numStages, int32_t n);

/* ---- Transposed direct form II, two interleaved channels in vector lanes; state per section: s0 of channel 0,
 * s0 of channel 1, s1 of channel 0, s1 of channel 1. NCascade gives each channel its own coefficients and fuses
 * its multiply-adds; the other two round every product ---- */
void kve_vecBiquad_SIMD4(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                         float *state, int32_t n);
void kve_vecBiquadCascade_SIMD4(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                float *state, int32_t numStages, int32_t n);
void kve_vecBiquadNCascade_SIMD4(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs0,
                                 const float *coeffs1, float *state, int32_t numStages, int32_t n);

/* ---- Four direct-form-II sections pipelined in four lanes: the cascade's output four samples late.
 * coeffs[20]: b0 of sections 0 to 3, then b1, b2, a1, a2 likewise. state[13]: w[n-2] of sections 0 to 3, w[n-1] of
 * sections 0 to 3, the newest input sample, then the latest outputs of sections 0 to 3 ---- */
void kve_vecBiquadCascadeDelay(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                               float *state, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
