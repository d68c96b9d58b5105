/* Elementwise arithmetic kernels on float, Fract32 and 32-bit integer vectors. */
#ifndef KVE_VEC_ARITH_H
#define KVE_VEC_ARITH_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
