/* Conversion, fill, copy, interleave and bit kernels on float, Fract32 and 32-bit integer words. */
#ifndef KVE_VEC_CONVERSION_H
#define KVE_VEC_CONVERSION_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Conversions ---- */
void kve_vecFloatToFract32(const float *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n);
void kve_vecFract32ToFloat(const Fract32 *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecFloatToInt(const float *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t n);
void kve_vecIntToFloat(const int32_t *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecIntToFract32(const int32_t *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n);
void kve_vecFract32ToInt(const Fract32 *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t n);
void kve_vecFloatToFract16(const float *src, int32_t srcInc, int16_t *dst16, int32_t dst16Inc, int32_t n);

/* ---- Fill and copy ---- */
void kve_vecFill(float *dst, int32_t dstInc, float value, int32_t n);
void kve_vecFillFract32(Fract32 *dst, int32_t dstInc, Fract32 value, int32_t n);
void kve_vecFillInt32(int32_t *dst, int32_t dstInc, int32_t value, int32_t n);
void kve_vecFillInt32_SIMD4(int32_t *dst, int32_t value, int32_t n);
void kve_vecCopy32(const void *src, int32_t srcInc, void *dst, int32_t dstInc, int32_t n);
void kve_vecCopy_SIMD4(const void *src, void *dst, int32_t n);
void kve_vecInterleave(const void *a, const void *b, void *dst, int32_t n);

/* ---- Bit and logic operations on 32-bit words ---- */
void kve_vecAnd2x1(const int32_t *a, int32_t aInc, const int32_t *b, int32_t bInc, int32_t *dst, int32_t dstInc,
                   int32_t n);
void kve_vecOr2x1(const int32_t *a, int32_t aInc, const int32_t *b, int32_t bInc, int32_t *dst, int32_t dstInc,
                  int32_t n);
void kve_vecXor2x1(const int32_t *a, int32_t aInc, const int32_t *b, int32_t bInc, int32_t *dst, int32_t dstInc,
                   int32_t n);
void kve_vecNot1x1(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t n);
void kve_vecAndConstInt32(const int32_t *src, int32_t *dst, int32_t mask, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
