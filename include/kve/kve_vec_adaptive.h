/* Adaptive and complex filter kernels: LMS weight adaptation, complex FIRs across subband bins, and
 * windows of linear convolution and cross-correlation. */
#ifndef KVE_VEC_ADAPTIVE_H
#define KVE_VEC_ADAPTIVE_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
