/* Smoothing, mixing and envelope kernels.
 *
 * A smoothed value (gain, envelope, phase, increment) belongs to the calling module: the kernel reads it at entry
 * and writes the value reached back at exit, so the trajectory carries on in the next block. The float gain
 * smoothers move g = g x (1 - coeff) + coeff x target once per sample (per frame in the N-channel forms) and hold
 * the gain for the whole call when |target - g| < 1e-10 at entry; a gain that one step leaves unchanged has come to
 * rest, and every later sample is scaled by it. The Fract32 forms use 0x7FFFFFFF - coeff as the complement and always
 * run. N-channel forms take interleaved frames, keep one gain for all channels and count frames. Nothing is read or
 * written when a count (or a channel or sub-block count) is below 1. */
#ifndef KVE_VEC_SMOOTH_H
#define KVE_VEC_SMOOTH_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Smoothed gains ---- */
void kve_vecScaleSmooth(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *gainState,
                        float target, float coeff, int32_t n);
void kve_vecScaleSmoothFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                               Fract32 *gainState, Fract32 target, int32_t postShift, Fract32 coeff, int32_t n);
void kve_vecScaleSmooth_Nch(const float *src, float *dst, int32_t numChannels, float *gainState, float target,
                            float coeff, int32_t n);
void kve_vecScaleSmooth_NchFract32(const Fract32 *src, Fract32 *dst, int32_t numChannels, Fract32 *gainState,
                                   Fract32 target, int32_t postShift, Fract32 coeff, int32_t n);
void kve_vecScaleAddSmooth(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *gainState,
                           float target, float coeff, int32_t n);
void kve_vecScaleAddSmooth_Nch(const float *src, float *dst, int32_t numChannels, float *gainState, float target,
                               float coeff, int32_t n);
void kve_vecScaleAddSmoothFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                  Fract32 *gainState, Fract32 target, int32_t postShift, Fract32 coeff, int32_t n);

/* ---- Sub-block gains: n / numSubblocks samples (frames) per sub-block, each with its own target or gain; the
 * samples past the last whole sub-block go with the last one ---- */
void kve_vecScaleSubblock(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *gains,
                          int32_t numSubblocks, int32_t n);
void kve_vecScaleSmoothSubblock(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *gainState,
                                const float *targets, int32_t numSubblocks, float coeff, int32_t n);
void kve_vecScaleSmoothSubblock_Nch(const float *src, float *dst, int32_t numChannels, float *gainState,
                                    const float *targets, int32_t numSubblocks, float coeff, int32_t n);

/* ---- Mixers (the output must not overlap the input) ---- */
/* gains input-major: gains[i * numOut + j] takes input i into output j. */
void kve_vecMixerDense(const float *src, int32_t numIn, float *dst, int32_t numOut, const float *gains, int32_t n);
/* gains output-major: gains[j * numIn + i] takes input i into output j. */
void kve_vecMixerDenseFract32(const Fract32 *src, int32_t numIn, Fract32 *dst, int32_t numOut,
                              const Fract32 *gains, int32_t postShift, int32_t n);
void kve_vecMixerSmoothedV2b(const float *src, int32_t srcInc, float *acc, int32_t accInc, float gainA, float gainB,
                             int32_t n);

/* ---- Envelopes and generators ---- */
void kve_vecFirstOrderSmoother(float *dst, float *state, float target, float coeff, int32_t n);
void kve_vecAttackRelease(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *envState,
                          float attackCoeff, float releaseCoeff, int32_t n);
void kve_vecAttackReleaseFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                 Fract32 attackCoeff, Fract32 releaseCoeff, Fract32 *envState, int32_t n);
/* stage: 0 attack, 1 decay, 2 sustain, 3 release. */
void kve_vecAttackDecaySustainRelease(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                      int32_t *releaseRequest, uint32_t *stage, float *env, float attackCoeff,
                                      float decayCoeff, float sustainLevel, float releaseCoeff, float peakLevel,
                                      int32_t n);
/* 32-bit words of any sample type. */
void kve_vecSampleAndHold(const void *src, int32_t srcInc, void *dst, int32_t dstInc, const void *ctrl,
                          int32_t ctrlInc, void *held, int32_t n);
/* phase and increment in radians; contiguous output. */
void kve_vecSineGenSmoothed(float *dst, float *phase, float *increment, float target, float coeff, int32_t n);
/* phase, increment and target in Q4.28 radians, coeff in Q1.31; contiguous Q1.31 output. */
void kve_vecSineGenSmoothedFract32(Fract32 *dst, Fract32 *phase, Fract32 *increment, Fract32 target, Fract32 coeff,
                                   int32_t n);

#ifdef __cplusplus
}
#endif

#endif
