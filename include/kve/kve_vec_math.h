/* Math approximation kernels and their exported tables. */
#ifndef KVE_VEC_MATH_H
#define KVE_VEC_MATH_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
