/* Float biquad kernels: direct-form, cascade, multi-channel, extended-precision and state-space second-order sections. */
#ifndef KVE_VEC_BIQUAD_H
#define KVE_VEC_BIQUAD_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
