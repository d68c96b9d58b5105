/* FIR kernels: filters, decimators, interpolators, sparse tap readers and allpass delays. */
#ifndef KVE_VEC_FIR_H
#define KVE_VEC_FIR_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
