/* Generator and ring kernels: random numbers, noise, sines and waves; copies into, out of and through rings
 * whose storage, length and running index belong to the caller. */
#ifndef KVE_VEC_GENERATORS_H
#define KVE_VEC_GENERATORS_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* sin(2x) in Q31 for the half angle x in Q31 (|2x| up to pi/2). */
Fract32 kve_vecSineFract32(Fract32 x);

#ifdef __cplusplus
}
#endif

#endif
