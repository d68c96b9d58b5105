/* Elementwise arithmetic kernels on float, Fract32 and 32-bit integer vectors. */
#ifndef KVE_VEC_ARITH_H
#define KVE_VEC_ARITH_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Sums and differences ---- */
void kve_vecAdd2x1(const float *a, int32_t aInc, const float *b, int32_t bInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecAdd2x1Fract32(const Fract32 *a, int32_t aInc, const Fract32 *b, int32_t bInc, Fract32 *dst,
                          int32_t dstInc, int32_t n);
void kve_vecAdd2x1Int32(const int32_t *a, int32_t aInc, const int32_t *b, int32_t bInc, int32_t *dst,
                        int32_t dstInc, int32_t n);
void kve_vecSubtract2x1(const float *a, int32_t aInc, const float *b, int32_t bInc, float *dst, int32_t dstInc,
                        int32_t n);
void kve_vecSubtract2x1Fract32(const Fract32 *a, int32_t aInc, const Fract32 *b, int32_t bInc, Fract32 *dst,
                               int32_t dstInc, int32_t n);
void kve_vecSubtract2x1Int32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n);

/* ---- Products, multiply-adds and division ---- */
void kve_vecMultiply2x1(const float *a, int32_t aInc, const float *b, int32_t bInc, float *dst, int32_t dstInc,
                        int32_t n);
void kve_vecMultiply2x1Fract32(const Fract32 *a, int32_t aInc, const Fract32 *b, int32_t bInc, Fract32 *dst,
                               int32_t dstInc, int32_t n);
void kve_vecMultiplyAdd(const float *a, int32_t aInc, const float *b, int32_t bInc, const float *c, int32_t cInc,
                        float *dst, int32_t dstInc, int32_t n);
void kve_vecMultiplyAddFract32(const Fract32 *a, int32_t aInc, const Fract32 *b, int32_t bInc, const Fract32 *c,
                               int32_t cInc, Fract32 *dst, int32_t dstInc, int32_t n);
void kve_vecDivide2x1(const float *num, const float *den, float *dst, int32_t n);

/* ---- Scaling, offsets and mixing ---- */
void kve_vecScale(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float gain, int32_t n);
void kve_vecScaleFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, Fract32 gain,
                         int32_t postShift, int32_t n);
void kve_vecIntegerScale(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t factor,
                         int32_t n);
void kve_vecOffset(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float offset, int32_t n);
void kve_vecScaleOffset(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float gain, float offset,
                        int32_t n);
void kve_vecScaleOffsetFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, Fract32 gain,
                               int32_t postShift, Fract32 offset, int32_t n);
void kve_vecScaleOffsetInt32(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t gain,
                             int32_t offset, int32_t n);
void kve_vecScaleOffset_SIMD4(const float *src, float *dst, float gain, float offset, int32_t n);
void kve_vecScaleAdd(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float gain, int32_t n);
void kve_vecScaleAddFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, Fract32 gain,
                            int32_t postShift, int32_t n);
void kve_vecScaleAdd_SIMD4(const float *src, float *dst, float gain, int32_t n);
void kve_vecScale2x1(const float *a, const float *b, float *dst, float gainA, float gainB, int32_t n);
void kve_vecWeightedAdd(const float *a, const float *b, float *dst, float weightA, float weightB, int32_t n);

/* ---- Squares, half sums and differences ---- */
void kve_vecSquareAdd(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecSquareAddFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n);
void kve_vecSquareAdd_SIMD4(const float *src, float *dst, int32_t n);
void kve_vecScaleSumDiff(const float *a, const float *b, float *sum, float *diff, int32_t n);
void kve_vecScaleSumDiffFract32(const Fract32 *a, const Fract32 *b, Fract32 *sum, Fract32 *diff, int32_t n);
void kve_vecScaleSumDiffInt32(const int32_t *a, const int32_t *b, int32_t *sum, int32_t *diff, int32_t n);
void kve_vecScaleSumDiff_SIMD4(const float *a, const float *b, float *sum, float *diff, float scale, int32_t n);

/* ---- Magnitudes and clipping ---- */
void kve_vecAbs(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n);
void kve_vecAbsFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n);
void kve_vecAbsInt(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t n);
void kve_vecClipAsym(const float *src, float *dst, float lower, float upper, int32_t n);
void kve_vecClipAsymFract32(const Fract32 *src, Fract32 *dst, Fract32 lower, Fract32 upper, int32_t n);
void kve_vecSoftClip(const float *src, float *dst, float threshold, float limit, int32_t n);
void kve_vecSoftClipFract32(const Fract32 *src, Fract32 threshold, Fract32 limit, Fract32 *dst, int32_t n);

/* ---- Shifts of 32-bit words ---- */
void kve_vecShift(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t shift, int32_t n);
void kve_vecShiftNoSat(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t shift, int32_t n);
void kve_vecLShift(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t shift, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
