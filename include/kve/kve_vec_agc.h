/* Gain computers of the dynamics modules: from a level signal they derive a gain signal with attack and
 * release smoothing; the envelope and gain words belong to the calling module. */
#ifndef KVE_VEC_AGC_H
#define KVE_VEC_AGC_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
