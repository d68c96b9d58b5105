/* Comparison and logic kernels: elementwise relations written as logic words (1 or 0), the larger of two
 * vectors, range tests and the zero-crossing detector. */
#ifndef KVE_VEC_COMPARE_H
#define KVE_VEC_COMPARE_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
