/* Math approximation kernels and their exported tables.
 *
 * Kernels with "ui" in their names take and give angles in turns (1.0 is a full circle); "Linear" forms interpolate
 * between two table entries, "Near" forms take the nearest one. */
#ifndef KVE_VEC_MATH_H
#define KVE_VEC_MATH_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Tables (read-only) ---- */
extern const float Vec_SinTable[512];      /* sin(2 pi i / 512) */
extern const float Vec_AtanTable[514];     /* atan(i / 512) in turns */
extern const float Vec_AtanQuadSign[4];    /* per quadrant code 2 (y < 0) + (x < 0) */
extern const float Vec_AtanQuadOffs[4];
extern const int32_t initial_approx_value[64]; /* seeds of 1/(2x) in Q31, x in [0.5, 1) by 1/128 */
extern const float log2f_approx_coeff[4];
extern const float pow2f_approx_coeff[6];
extern const Fract32 log2_coeff_fract32[4];
extern const Fract32 pow2_coeff_fract32[7];
extern const Fract32 LinearToDecibels_coeff_fract32[5];
extern const Fract32 DecibelsToLinear_coeff_fract32[5];
extern const float LinearToDecibels_coeff[5];
extern const float DecibelsToLinear_coeff[5];

/* ---- Trigonometry ---- */
void kve_vecAtan2(const float *y, int32_t yInc, const float *x, int32_t xInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecAtan2uiLinear(const float *y, int32_t yInc, const float *x, int32_t xInc, float *dst, int32_t dstInc,
                          int32_t n);
void kve_vecAtan2uiNear(const float *y, int32_t yInc, const float *x, int32_t xInc, float *dst, int32_t dstInc,
                        int32_t n);
/* dst is written contiguously (dstInc is not used); scratch holds 2 n floats. */
void kve_vecFastAtan2(const float *y, int32_t yInc, const float *x, int32_t xInc, float *dst, int32_t dstInc,
                      float *scratch, int32_t n);
void kve_vecSinuiLinear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecSinuiNear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecCosuiLinear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecCosuiNear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
/* (cos, sin) pairs; dstInc counts floats, 2 for adjacent pairs. */
void kve_vecCexpuiLinear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecCexpuiNear(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
/* Radians, accurate for |x| <= pi. */
void kve_vecFastSin(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecFastCos(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);

/* ---- Decibels and logarithms ---- */
void kve_vecDb20(const float *src, float *dst, int32_t n);
void kve_vecLinearToDB(const float *src, float *dst, int32_t n);
void kve_vecDBToLinear(const float *src, float *dst, int32_t n);
void kve_vecUnDb20(const float *src, float *dst, int32_t n);
void kve_vecDb20_Approx(const float *src, float *dst, int32_t n);
void kve_vecUnDb20_Approx(const float *src, float *dst, int32_t n);
/* inBits and outBits are the integer bits of the input and output words (1 is Q1.31). */
void kve_vecLinearToDBFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t inBits, int32_t outBits);
/* dB in and linear out, both with 24 fractional bits. */
void kve_vecDBToLinearFract32(const Fract32 *src, Fract32 *dst, int32_t n);
/* log10, input and output with 23 fractional bits. */
void kve_vecLog10Fract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n);

/* ---- Roots and reciprocals ---- */
void kve_vecSqrt(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecSqrtFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n);
void kve_vecReciprocal(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
/* 1/x with 31 - shift fractional bits. */
void kve_vecReciprocalFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t shift,
                              int32_t n);
/* 1/(2x) in Q31 for x in [0.5, 1); returns 0. */
int32_t kve_vecRecipFract32(Fract32 x, Fract32 *result);

/* ---- Polynomials and tables (coefficients highest power first) ---- */
void kve_vecPolynomial(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t numCoeffs,
                       const float *coeffs, int32_t n);
void kve_vecPolynomial_SIMD4(const float *src, float *dst, int32_t numCoeffs, const float *coeffs, int32_t n);
void kve_vecPolynomialFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t numCoeffs,
                              const Fract32 *coeffs, int32_t postShift, int32_t n);
/* points: numPoints (x, y) pairs, x increasing; coeffs: four per segment (three for the runtime form). */
void kve_vecTableInterp(const float *src, const float *points, int32_t numPoints, const float *coeffs, float *dst,
                        int32_t n);
void kve_vecTableInterpRuntime(const float *src, const float *points, int32_t numPoints, const float *coeffs,
                               float *dst, int32_t n);
void kve_vecTableInterpFract32(const Fract32 *src, const Fract32 *points, int32_t numPoints, const Fract32 *coeffs,
                               Fract32 *dst, int32_t n);

/* ---- Phase ---- */
/* Adds whole turns (2 pi) so that no step between outputs exceeds pi. */
void kve_vecUnwrap(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
