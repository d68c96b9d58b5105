/* Vector kernels: stateless sample loops on float, Fract32 and 32-bit integer vectors.
 *
 * Arguments come in one order: input vectors (pointer, then increment in samples for strided kernels), output
 * vectors, parameters, and the sample count last. A count below 1 does nothing. */
#ifndef KVE_VEC_H
#define KVE_VEC_H

#include <stdint.h>

#include "kve_types.h"
#include "kve_vec_adaptive.h"
#include "kve_vec_agc.h"
#include "kve_vec_arith.h"
#include "kve_vec_biquad.h"
#include "kve_vec_biquad_fixed.h"
#include "kve_vec_compare.h"
#include "kve_vec_conversion.h"
#include "kve_vec_fft.h"
#include "kve_vec_fir.h"
#include "kve_vec_generators.h"
#include "kve_vec_math.h"
#include "kve_vec_smooth.h"
#include "kve_vec_stats.h"

#endif
