/* Comparison and logic kernels: elementwise relations written as logic words (1 or 0), the larger of two
 * vectors, range tests and the zero-crossing detector. */
#ifndef KVE_VEC_COMPARE_H
#define KVE_VEC_COMPARE_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* dst[i] = 1 where x relation y holds, else 0, all vectors contiguous; x is the first operand, y the second or the
 * constant. The relations, in the order the comparison modules index them: Equal, NotEqual, LessThan, LessOrEqual,
 * Greater, GreaterOrEqual. Float compares follow IEEE (a NaN operand makes every relation false but NotEqual;
 * -0.0 equals +0.0); Fract32 and integer compares are signed. */

/* ---- Float vectors, each sample against its partner ---- */
void kve_vecLogicCompareEqual(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareNotEqual(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareLessThan(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareLessOrEqual(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareGreater(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareGreaterOrEqual(const float *a, const float *b, int32_t *dst, int32_t n);

/* ---- Float vector against a constant ---- */
void kve_vecLogicCompareConstEqual(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstNotEqual(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstLessThan(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstLessOrEqual(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstGreater(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstGreaterOrEqual(const float *src, float constant, int32_t *dst, int32_t n);

/* ---- Fract32 vectors (signed) ---- */
void kve_vecLogicCompareEqualFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareNotEqualFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareLessThanFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareLessOrEqualFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareGreaterFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareGreaterOrEqualFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n);

/* ---- Fract32 vector against a constant (signed) ---- */
void kve_vecLogicCompareConstEqualFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstNotEqualFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstLessThanFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstLessOrEqualFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstGreaterFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstGreaterOrEqualFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n);

/* ---- 32-bit integer vectors (signed) ---- */
void kve_vecLogicCompareEqualInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareNotEqualInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareLessThanInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareLessOrEqualInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareGreaterInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareGreaterOrEqualInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n);

/* ---- 32-bit integer vector against a constant (signed) ---- */
void kve_vecLogicCompareConstEqualInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstNotEqualInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstLessThanInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstLessOrEqualInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstGreaterInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstGreaterOrEqualInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n);

/* ---- Four-lane float vectors, the same words as the plain kernels ---- */
void kve_vecLogicCompareEqual_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareNotEqual_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareLessThan_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareLessOrEqual_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareGreater_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n);
void kve_vecLogicCompareGreaterOrEqual_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n);

/* ---- Four-lane float vector against a constant, the same words as the plain kernels ---- */
void kve_vecLogicCompareConstEqual_SIMD4(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstNotEqual_SIMD4(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstLessThan_SIMD4(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstLessOrEqual_SIMD4(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstGreater_SIMD4(const float *src, float constant, int32_t *dst, int32_t n);
void kve_vecLogicCompareConstGreaterOrEqual_SIMD4(const float *src, float constant, int32_t *dst, int32_t n);

/* ---- The larger of two vectors, strided ---- */
/* dst = max(a, b); a NaN operand gives the other operand, +0.0 is larger than -0.0. */
void kve_GreaterSW(const float *a, int32_t aInc, const float *b, int32_t bInc, float *dst, int32_t dstInc, int32_t n);
/* dst = max(a, b), signed. */
void kve_GreaterSWFract32(const Fract32 *a, int32_t aInc, const Fract32 *b, int32_t bInc, Fract32 *dst,
                          int32_t dstInc, int32_t n);

/* ---- Range tests ---- */
/* A sample is in range when it is neither below lower nor above upper (so a NaN sample is). *dstAll = 1 when every
 * sample is in range (and when n < 1). mode 2 and above also writes dstVec[i] for every sample; mode 1 copies the
 * block flag into dstVec[0]; any other mode writes no word of dstVec. A null dstVec is never written. */
void kve_vecWithinRange(const float *src, int32_t *dstVec, float lower, float upper, int32_t mode, int32_t *dstAll,
                        int32_t n);
void kve_vecWithinRangeFract32(const Fract32 *src, int32_t *dstVec, Fract32 lower, Fract32 upper, int32_t mode,
                               int32_t *dstAll, int32_t n);

/* ---- Zero-crossing detection ---- */
/* dst = 0x7FFFFFFF where the sign class (-1 below zero, +1 at zero and above) changes from the one in *state, else 0:
 * both directions for mode 0, rising only for mode > 0, falling only for mode < 0. *state keeps the last sample's
 * sign class, so the next call continues the signal; a state of 0 counts as neither sign. */
void kve_vecZeroCrossingDetectorFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                        int32_t mode, int32_t *state, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
