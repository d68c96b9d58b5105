/* Smoothing, mixing and envelope kernels. */
#ifndef KVE_VEC_SMOOTH_H
#define KVE_VEC_SMOOTH_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
