/* Adaptive and complex filter kernels: LMS weight adaptation, complex FIRs across subband bins, and
 * windows of linear convolution and cross-correlation.
 *
 * The LMS filters (all but kve_vecLMSNormFract32) keep a ring of numTaps input samples with a write index that the
 * caller keeps; weight j multiplies the sample j steps older than the current one. out receives the filter output,
 * err the error desired - out, and the weights adapt after each sample's output. Fract32 products are
 * floor(a x b / 2^31), -1 x -1 held at 0x7FFFFFFF, summed in 64 bits.
 *
 * Counts below 1 make a call do nothing, except that an LMS filter of no taps outputs 0 and passes desired to err.
 * A ring index outside its ring is taken modulo the ring length. */
#ifndef KVE_VEC_ADAPTIVE_H
#define KVE_VEC_ADAPTIVE_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- LMS filters ---- */

/* Normalised LMS: each weight moves by err x mu / (E + 0.001) times its sample, E being the energy of the ring,
 * summed afresh at each call and kept running within it. A step of 0 holds the weights. */
void kve_vecLMS(const float *desired, const float *src, float *out, float *err, float *weights, float *state,
                int32_t *stateIndex, int32_t n, float mu, int32_t numTaps);
/* The same filter with its weights held: the ring's energy runs on in *energy, which the caller keeps matching
 * the ring's contents. */
void kve_vecLMSNorm(const float *src, const float *desired, float *out, float *err, float *weights, float *state,
                    int32_t *stateIndex, int32_t n, int32_t numTaps, float *energy);
/* out = the tap sum scaled by 2^postShift, saturated; err = desired - out, saturated; each weight adds
 * floor(sample x g / 2^31), saturated, where g is the Fract32 product of err and mu scaled by 2^-postShift (only the
 * low 16 bits of postShift count for that scaling, sign-extended; a left shift saturates). */
void kve_vecLMSFract32(const Fract32 *src, const Fract32 *desired, Fract32 *out, Fract32 *err, Fract32 *weights,
                       Fract32 *state, int32_t *stateIndex, int32_t postShift, int32_t n, int32_t numTaps,
                       Fract32 mu);
/* Normalised LMS on a linear history of numTaps - 1 + n words (weights time-reversed: weight k multiplies history
 * word i + k for output i, word i + numTaps - 1 being the current sample). *energy is the Q31 sum of squares of the
 * numTaps samples in the window and *leaving the sample that leaves it next; both run on across calls.
 * out = (the sum of full products) x 2^(postShift - 31), saturated; err = desired - out, saturated; the step is
 * the Fract32 product of err and mu times the reciprocal kve_vecRecipFract32 gives for the energy + 256, and each
 * weight adds floor(sample x step / 2^31) rounded down to even, saturated. The four signal vectors step by inc. */
void kve_vecLMSNormFract32(const Fract32 *src, const Fract32 *desired, Fract32 *out, Fract32 *err, Fract32 *history,
                           Fract32 *weights, Fract32 *energy, Fract32 *leaving, int32_t n, int32_t inc,
                           int32_t numTaps, Fract32 mu, int32_t postShift);

/* ---- Complex FIRs ---- */

/* width complex FIRs side by side over a ring of frames held in two planar arrays of bufLen floats: tap t reads
 * the frame t frames on from startIndex (wrapping at bufLen), tap 0 meeting the newest frame; coefficient frames
 * follow one another, width values each. bufLen must be a whole number of frames and startIndex a frame start
 * inside the ring; otherwise the call does nothing. */
void kve_vecComplexFIR(const float *stateRe, const float *stateIm, const float *coefRe, const float *coefIm,
                       float *outRe, float *outIm, int32_t bufLen, int32_t numTaps, int32_t startIndex,
                       int32_t width);
/* One interleaved complex frame of numBands bins, each bin filtered by its own len[b] taps over its own ring with
 * index idx[b] (decremented per frame). Bins 0 and numBands - 1 are real: only their real parts are read and
 * written. State and coefficients lie bin after bin: len[b] floats for a real bin, 2 x len[b] (real parts, then
 * imaginary parts) for a complex one. A bin with len[b] below 1 takes no room and outputs 0. */
void kve_vecComplexFIRvl(const float *src, float *dst, float *state, const float *coeffs, const int32_t *len,
                         int32_t *idx, int32_t numBands);

/* ---- Convolution and correlation windows ----
 *
 * Outputs k = start .. start + numOut - 1 of the full result (k from 0 to aLen + bLen - 2) go to
 * dst[(k - start) x dstInc], each a chain of fused multiply-adds from 0 in increasing j over the terms that exist;
 * k below 0 gives 0, and outputs past the full result are left unwritten. */

/* c[k] = sum over j of b[j] x a[k - j]. */
void kve_vecConv(const float *a, int32_t aInc, int32_t aLen, const float *b, int32_t bInc, int32_t bLen, float *dst,
                 int32_t dstInc, int32_t numOut, int32_t start);
/* r[k] = sum over j of b[j] x a[k - (bLen - 1) + j]: k = bLen - 1 is lag 0. */
void kve_vecCorr(const float *a, int32_t aInc, int32_t aLen, const float *b, int32_t bInc, int32_t bLen, float *dst,
                 int32_t dstInc, int32_t numOut, int32_t start);

#ifdef __cplusplus
}
#endif

#endif
