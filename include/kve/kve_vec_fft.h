/* FFT and complex arithmetic kernels: the float complex and real FFTs, the block-floating-point fixed-point
 * FFT with its tables, and elementwise complex products and magnitudes on interleaved (re, im) pairs. */
#ifndef KVE_VEC_FFT_H
#define KVE_VEC_FFT_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Tables of the fixed-point FFT ---- */
extern const Fract32 Twiddle_table_Cos[512]; /* cos(2 pi i / 1024) in Q31, truncated toward zero, 1.0 as 0x7FFFFFFF */
extern const Fract32 Twiddle_table_Sin[512]; /* sin(2 pi i / 1024) in Q31, truncated toward zero, 1.0 as 0x7FFFFFFF */
extern const uint16_t BitRev_Table[256];     /* 10-bit bit reversal of i + 1 */
extern const uint16_t BitRevTable[256];      /* the same values, exported for callers that index it themselves */

/* ---- Transforms (complex data interleaved re, im) ---- */
/* In-place FFT of nn complex points, nn a power of two; isign 1 forward (e^-j), -1 inverse scaled by 1/nn. Any other
 * size or isign leaves the data untouched. */
void kve_vecCfft(float *data, int32_t nn, int32_t isign);
/* In-place FFT of n real samples, n a power of two >= 4; isign 1 forward, else inverse. Packed spectrum: data[0] =
 * X[0], data[1] = X[n/2], then (Re, Im) of X[1] .. X[n/2 - 1]. The inverse is exactly scaled. Other n: untouched. */
void kve_vecRfft(float *data, int32_t n, int32_t isign);
/* FFT of n/2 complex points (n counts floats) combined with a modulation by mod (element k times mod[k], conjugated
 * for isign -1; mode != 0 ignores the imaginary input); isign -1 transforms first, 1 modulates first. The lone last
 * float of an odd n is left as it is; n/2 not a power of two, or isign other than +-1: untouched. */
void kve_vecCfftMod(float *data, int32_t n, int32_t mode, int32_t isign, const float *mod);
/* In-place bit-reversal permutation of len/2 complex Fract32 elements, len/2 = 4, 8, ..., 1024; else untouched. */
void kve_vecBitReversal(Fract32 *data, int32_t len);
/* Fixed-point forward FFT of N bit-reversed points (N = 1, 2, 4, ..., 1024) over the exported twiddle tables;
 * returns the block exponent (true spectrum = output x 2^exponent); 0 and no work for any other N. */
int32_t kve_vecCfftFract32Wrapper(Fract32 *data, int32_t N);
/* The fixed-point FFT itself on N bit-reversed points with the given Q31 cosine and sine tables (512 entries, half
 * a turn in steps of 1/1024); tableShift and log2N are accepted for callers that pass them and derived from N
 * instead. Returns the block exponent; 0 and no work for N not a power of two in 1..1024. */
int32_t kve_vecCfftFract32(int32_t N, int32_t tableShift, int32_t log2N, Fract32 *data, const Fract32 *cosTable,
                           const Fract32 *sinTable);

/* ---- Complex arithmetic (increments count 32-bit values; contiguous complex has increment 2) ---- */
/* dst[k] = a[k] x b[k], contiguous complex vectors, each part one fused multiply-add. */
void kve_vecComplexMult(const float *a, const float *b, float *dst, int32_t n);
/* dst[k] += a[k] x b[k], contiguous complex vectors, fused multiply-adds. */
void kve_vecComplexMultAdd(const float *a, const float *b, float *dst, int32_t n);
/* dst = a x b, strided complex vectors. */
void kve_vecMultiplyComplexByComplex(const float *a, int32_t aInc, const float *b, int32_t bInc, float *dst,
                                     int32_t dstInc, int32_t n);
/* dst = r x c: the real r times both parts of the complex c. */
void kve_vecMultiplyRealByComplex(const float *r, int32_t rInc, const float *c, int32_t cInc, float *dst,
                                  int32_t dstInc, int32_t n);
/* dst = sqrt(re^2 + im^2). */
void kve_vecMagnitude(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
/* dst = sqrt of re^2 + im^2 in Q31, each square and the sum saturated to 0x7FFFFFFF. */
void kve_vecMagnitudeFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n);
/* dst = re^2 + im^2, fused. */
void kve_vecMagnitudeSquared(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
/* dst = mag x (cos phase + j sin phase) by the fast polynomial cosine and sine (|phase| <= pi); dst is always written
 * as contiguous pairs, dstInc is not used. */
void kve_vecPolarToComplex(const float *mag, int32_t magInc, const float *phase, int32_t phaseInc, float *dst,
                           int32_t dstInc, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
