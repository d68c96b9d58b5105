/* Statistics kernels: reductions over a block (mean, energy, RMS, variance, sums, extremes), their
 * per-subblock forms and an in-place sort.
 *
 * Float reductions accumulate in single precision (squares by fused multiply-adds); Fract32 sums are formed
 * exactly in 64 bits. Every reduction of an empty block (n < 1) returns 0 and reads nothing; extreme-value kernels
 * then write no index either. Variances are of the population (divided by n). */
#ifndef KVE_VEC_STATS_H
#define KVE_VEC_STATS_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Block statistics ---- */

/* sum / n. */
float kve_vecMean(const float *src, int32_t n);
float kve_vecMeanStride(const float *src, int32_t srcInc, int32_t n);
float kve_vecMean_SIMD4(const float *src, int32_t n);
/* 64-bit sum / n, truncated toward zero. */
int64_t kve_vecMeanFract32(const Fract32 *src, int32_t n);

/* (sum of x²) / n. */
float kve_vecAvgEnergy(const float *src, int32_t n);
float kve_vecAvgEnergyStride(const float *src, int32_t srcInc, int32_t n);
float kve_vecAvgEnergy_SIMD4(const float *src, int32_t n);
/* 64-bit sum of the Fract32 squares (x × x >> 31, saturated) / n, truncated toward zero. */
int64_t kve_vecAvgEnergyFract32(const Fract32 *src, int32_t n);

/* sqrt((sum of x²) / n). */
float kve_vecRMS(const float *src, int32_t n);
float kve_vecRMSStride(const float *src, int32_t srcInc, int32_t n);
float kve_vecRMS_SIMD4(const float *src, int32_t n);
/* Q31 square root of the Fract32 average energy. */
Fract32 kve_vecRMSFract32(const Fract32 *src, int32_t n);

/* Two passes: m = sum / n, then (sum of (x - m)²) / n; exactly 0 for n = 1. */
float kve_vecVariance(const float *src, int32_t n);
float kve_vecVarianceStride(const float *src, int32_t srcInc, int32_t n);
/* One pass: (sum of x² - (sum of x)² / n) / n, held at 0 where rounding would make it negative. */
float kve_vecVariance_SIMD4(const float *src, int32_t n);
/* m = 64-bit sum / n; (64-bit sum of the exact (x - m)² >> 31) / n, saturated to 0x7FFFFFFF. */
Fract32 kve_vecVarianceFract32(const Fract32 *src, int32_t n);

/* Square root of the variance kernel of the same form. */
float kve_vecSD(const float *src, int32_t n);
float kve_vecSDStride(const float *src, int32_t srcInc, int32_t n);
float kve_vecSD_SIMD4(const float *src, int32_t n);
Fract32 kve_vecSDFract32(const Fract32 *src, int32_t n);

/* ---- Sums ---- */

float kve_vecSum(const float *src, int32_t n);
float kve_vecSumStride(const float *src, int32_t srcInc, int32_t n);
/* 64-bit sum saturated to 32 bits. */
Fract32 kve_vecSumFract32(const Fract32 *src, int32_t n);
/* Sum of x², fused multiply-adds. */
float kve_vecSumSquared(const float *src, int32_t n);
float kve_vecSumSquaredStride(const float *src, int32_t srcInc, int32_t n);
/* 64-bit sum of the Fract32 squares x × x >> 31, each saturated to 0x7FFFFFFF. */
int64_t kve_vecSumSquaredFract32(const Fract32 *src, int32_t n);

/* ---- Extreme values: ties keep the first position; NaN elements are passed over ---- */

/* The largest value (NaN ignored); *index = its first position. n < 1 returns 0 and writes nothing. */
float kve_vecMax(const float *src, int32_t n, uint32_t *index);
/* As kve_vecMax. */
float kve_vecMaxIndex(const float *src, int32_t n, uint32_t *index);
/* The largest of n samples srcInc apart; *index (counted in samples) not written when index is null. */
float kve_vecMaxIndexStride(const float *src, int32_t srcInc, int32_t n, uint32_t *index);
/* The largest word, compared as signed integers; *index = its first position. */
Fract32 kve_vecMaxFract32(const Fract32 *src, int32_t n, uint32_t *index);

/* The smallest value (NaN ignored); *index = its first position. */
float kve_vecMin(const float *src, int32_t n, uint32_t *index);
/* As kve_vecMin. */
float kve_vecMinIndex(const float *src, int32_t n, uint32_t *index);
/* The smallest of n samples srcInc apart; *index not written when index is null. */
float kve_vecMinIndexStride(const float *src, int32_t srcInc, int32_t n, uint32_t *index);
/* The smallest word, compared as signed integers; *index = its first position. */
Fract32 kve_vecMinFract32(const Fract32 *src, int32_t n, uint32_t *index);

/* The largest magnitude of n samples srcInc apart; *index = 0 whatever its position. */
float kve_vecMaxAbs(const float *src, int32_t srcInc, int32_t n, uint32_t *index);
/* The largest magnitude; *index = its first position. */
float kve_vecMaxAbsIndex(const float *src, int32_t srcInc, int32_t n, uint32_t *index);
/* The largest Fract32 magnitude (0x80000000 counts as 0x7FFFFFFF); *index = its first position. */
Fract32 kve_vecMaxAbsFract32(const Fract32 *src, int32_t srcInc, int32_t n, uint32_t *index);
/* The smallest magnitude; *index = its first position. */
float kve_vecMinAbs(const float *src, int32_t srcInc, int32_t n, uint32_t *index);

/* ---- Subblocks: dst[j] is the statistic of src[j·len .. j·len + len - 1], len = n / numSubblocks; samples past
 * the last whole subblock are left out; nothing is written when numSubblocks < 1 ---- */

/* sum × (1 / len). */
void kve_vecMeanSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
/* The Fract32 mean. */
void kve_vecMeanSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);
/* sqrt(sum of x² × (1 / len)). */
void kve_vecRMSSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
void kve_vecRMSSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);
/* sum of x² × (1 / len). */
void kve_vecAvgEnergySubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
void kve_vecAvgEnergySubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);
/* The two-pass variance. */
void kve_vecVarianceSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
void kve_vecVarianceSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);
void kve_vecSDSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
void kve_vecSDSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);
void kve_vecSumSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
/* Saturated as kve_vecSumFract32. */
void kve_vecSumSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);
void kve_vecSumSquaredSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
/* The 64-bit sum of squares saturated to 0x7FFFFFFF. */
void kve_vecSumSquaredSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);
void kve_vecMaxSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
void kve_vecMaxSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);
void kve_vecMinSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
void kve_vecMinSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);
void kve_vecMaxAbsSubblock(const float *src, float *dst, int32_t n, int32_t numSubblocks);
void kve_vecMaxAbsSubblockFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t numSubblocks);

/* ---- Sort ---- */

/* Sorts data[0 .. n - 1] into ascending order in place (not stable), in n log n steps on sorted, reversed and
 * constant data, with a fixed stack and no allocation. */
void kve_vecSort(float *data, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
