/* Statistics kernels: reductions over a block (mean, energy, RMS, variance, sums, extremes), their
 * per-subblock forms and an in-place sort. */
#ifndef KVE_VEC_STATS_H
#define KVE_VEC_STATS_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The largest value (NaN ignored); *index = its first position. n < 1 returns 0 and writes nothing. */
float kve_vecMax(const float *src, int32_t n, uint32_t *index);

#ifdef __cplusplus
}
#endif

#endif
