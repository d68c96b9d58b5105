/* FFT and complex arithmetic kernels: the float complex and real FFTs, the block-floating-point fixed-point
 * FFT with its tables, and elementwise complex products and magnitudes on interleaved (re, im) pairs. */
#ifndef KVE_VEC_FFT_H
#define KVE_VEC_FFT_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
