/* FIR kernels: filters, decimators, interpolators, sparse tap readers and allpass delays.
 *
 * The caller owns every coefficient, state word and index; a kernel updates the state and the index it is handed.
 * Two state designs are used:
 *
 * - Linear history (kve_vecFIR and the _SIMD4 decimator and interpolator): the state holds numTaps - 1 past
 *   samples followed by room for the new block, so the caller allocates numTaps - 1 + (input samples per call)
 *   words and zeroes them at reset. Coefficients are time-reversed: coefficient k weights history word i + k for
 *   output i, where word i + numTaps - 1 is the current sample.
 * - Ring (every other filter): a ring of stateLen words with a write index that the caller keeps; coefficient j
 *   weights the sample j steps older than the current one.
 *
 * Fract32 filters form each product as floor(a x c / 2^31) (-1 x -1 held at 0x7FFFFFFF), sum the products in 64 bits
 * without saturation, scale the sum by 2^postShift (positive: left, negative: right arithmetically; counts beyond the
 * word act as the exact scaling would) and saturate to 0x80000000..0x7FFFFFFF.
 *
 * Counts below 1 (samples, taps, factors, channels, ring lengths) make a call do nothing. */
#ifndef KVE_VEC_FIR_H
#define KVE_VEC_FIR_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Filters ---- */

/* Linear history of numTaps - 1 + n words. Note the sample count before the tap count. */
void kve_vecFIR(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs, float *state,
                int32_t n, int32_t numTaps);
/* Ring of numTaps words; *stateIndex is where the next sample goes. */
void kve_vecFIRFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, const Fract32 *coeffs,
                       Fract32 *state, int32_t n, int32_t numTaps, int32_t *stateIndex, int32_t postShift);

/* ---- Decimators: output m is aligned with input m x decimation; nOut counts outputs ---- */

/* Ring of stateLen >= numTaps + decimation - 1 words. */
void kve_vecFIR_Decimate(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                         float *state, int32_t *stateIndex, int32_t nOut, int32_t numTaps, int32_t stateLen,
                         int32_t decimation);
void kve_vecFIR_DecimateFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                const Fract32 *coeffs, Fract32 *state, int32_t *stateIndex, int32_t nOut,
                                int32_t numTaps, int32_t stateLen, int32_t decimation, int32_t postShift);
/* Linear history of numTaps - 1 + nOut x decimation words, time-reversed coefficients; stateIndex and stateLen
 * are not used. */
void kve_vecFIR_Decimate_SIMD4(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                               float *state, int32_t *stateIndex, int32_t nOut, int32_t numTaps, int32_t stateLen,
                               int32_t decimation);

/* ---- Polyphase interpolators: each input gives interpolation outputs; nIn counts inputs ----
 *
 * coeffs is the prototype of interpolation x tapsPerPhase taps; phase p uses every interpolation-th tap from p. */

/* numChannels interleaved channels, src and dst contiguous frames; ring of stateLen = tapsPerPhase x numChannels
 * words holding whole frames. */
void kve_vecFIR_Interpolate(const float *src, int32_t numChannels, float *dst, const float *coeffs, int32_t stateLen,
                            float *state, int32_t *stateIndex, int32_t nIn, int32_t interpolation,
                            int32_t tapsPerPhase);
/* One channel; ring of stateLen >= tapsPerPhase words. */
void kve_vecFIR_InterpolateFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                   const Fract32 *coeffs, Fract32 *state, int32_t *stateIndex, int32_t stateLen,
                                   int32_t nIn, int32_t interpolation, int32_t tapsPerPhase, int32_t postShift);
/* The prototype time-reversed; the state holds one linear history per channel: numChannels x (tapsPerPhase - 1 +
 * nIn) words, of which the first numChannels x (tapsPerPhase - 1) carry the histories (channel after channel)
 * between calls, so the block length may change from call to call. stateLen and stateIndex are not used. */
void kve_vecFIR_Interpolate_SIMD4(const float *src, int32_t numChannels, float *dst, const float *coeffs,
                                  int32_t stateLen, float *state, int32_t *stateIndex, int32_t nIn,
                                  int32_t interpolation, int32_t tapsPerPhase);

/* ---- Sparse tap readers: out[i] = sum over t of tapGains[t] x delayLine[(readIndex + i - tapDelays[t]) modulo
 * bufLen], from a ring that another module writes ---- */
void kve_vecFIRSparseReader(const uint32_t *tapDelays, float *dst, const float *tapGains, int32_t numTaps, int32_t n,
                            int32_t readIndex, int32_t bufLen, const float *delayLine);
void kve_vecFIRSparseReaderFract32(const uint32_t *tapDelays, Fract32 *dst, const Fract32 *tapGains, int32_t numTaps,
                                   int32_t n, int32_t readIndex, int32_t bufLen, const Fract32 *delayLine,
                                   int32_t postShift);
/* Q15 ring and gains; each product sample x gain x 2 is a Q31 value, -1 x -1 held at 0x7FFFFFFF. */
void kve_vecFIRSparseReaderFract16(const uint32_t *tapDelays, Fract32 *dst, const int16_t *tapGains, int32_t numTaps,
                                   int32_t n, int32_t readIndex, int32_t bufLen, const int16_t *delayLine,
                                   int32_t postShift);

/* ---- Schroeder allpass sections on a ring of delayLen Q15 words ----
 *
 * y[n] = -g x[n] + (1 - g^2) w[n - delay], w[n] = x[n] + g w[n - delay], the delay being (*writeIndex - *readIndex)
 * modulo delayLen, or the whole ring when the two are equal (each sample is read before the new one is written);
 * delayedOut receives w[n - delay]. Both indices advance together. */
/* The ring keeps w x 32768 clamped to -32768..32767, plus one half, truncated toward zero (so -32768 is kept as
 * -32767); a NaN keeps 0. */
void kve_vecAllpassDelay16(int16_t *delayLine, int32_t delayLen, int32_t *writeIndex, int32_t *readIndex,
                           const float *src, float *dst, float *delayedOut, int32_t n, float gain);
/* The ring keeps w rounded half up to its upper 16 bits, saturated. Only the low 16 bits of postShift count,
 * sign-extended. */
void kve_vecAllpassDelay16Fract32(int16_t *delayLine, int32_t delayLen, int32_t *writeIndex, int32_t *readIndex,
                                  const Fract32 *src, Fract32 *dst, Fract32 *delayedOut, Fract32 gain,
                                  int32_t postShift, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
