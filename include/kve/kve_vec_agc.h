/* Gain computers of the dynamics modules: from a level signal they derive a gain signal with attack and
 * release smoothing; the envelope and gain words belong to the calling module. */
#ifndef KVE_VEC_AGC_H
#define KVE_VEC_AGC_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Limiter gain per sample from the envelope of the level signal src (taken as is, no magnitude), in dB: hard knee
 * for kneeDepth 0, else a quadratic knee kneeDepth wide around threshold. Returns the block's last gain, for n < 1
 * the gain the envelope passed in implies. */
float kve_vecAGCLimiterCore(const float *src, float *dst, int32_t n, float *envState, float attackCoeff,
                            float releaseCoeff, float threshold, float kneeDepth, float slope, float kneeRecip,
                            float gainOffset);
/* The limiter in fixed point: Fract32 level and gain, Q8.24 threshold, kneeDepth, kneeRecip and gainOffset, Q1.31
 * slope; shifts that overflow saturate. */
void kve_vecAGCLimiterCoreFract32(const Fract32 *src, Fract32 *dst, Fract32 *envState, Fract32 attackCoeff,
                                  Fract32 releaseCoeff, Fract32 threshold, Fract32 slope, Fract32 gainOffset,
                                  Fract32 kneeDepth, Fract32 kneeRecip, int32_t n);
/* Compressor gain: one target from the block's peak envelope (never above gainOffset below threshold), which the
 * gain, passed in and returned, glides toward sample by sample. */
float kve_vecAGCCompressorCore(const float *src, float *dst, int32_t n, float *envState, float attackCoeff,
                               float releaseCoeff, float gainAttackCoeff, float gainReleaseCoeff, float gain,
                               float threshold, float slope, float gainOffset);
/* Fixed-point AGC gain in Q4.28, gliding toward one target per call: the hold gain while energy is below
 * activationEnergy, else (targetLevelDb - levelDb) x ratio held to [-maxAttenuationDb, maxGainDb] (Q8.24 dB). */
void kve_vecAGCCoreFract32(Fract32 *dst, Fract32 energy, Fract32 levelDb, Fract32 activationEnergy,
                           Fract32 targetLevelDb, Fract32 ratio, Fract32 maxGainDb, Fract32 maxAttenuationDb,
                           Fract32 holdLevel, Fract32 holdScaleHigh, Fract32 holdScaleLow, Fract32 *gainState,
                           Fract32 coeff, int32_t n);
/* dst = src x gain as Fract32 products, shifted by postShift (low 16 bits, signed): right arithmetically, left with
 * saturation. */
void kve_vecAGCMultiplierFract32(const Fract32 *src, int32_t srcInc, const Fract32 *gain, int32_t gainInc,
                                 Fract32 *dst, int32_t dstInc, int32_t postShift, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
