/* Fixed-point biquad kernels and the fixed-point datapath models. */
#ifndef KVE_VEC_BIQUAD_FIXED_H
#define KVE_VEC_BIQUAD_FIXED_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
