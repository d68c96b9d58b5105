/* Filter-design routines: coefficients for the filter kernels and modules. */
#ifndef KVE_DESIGN_H
#define KVE_DESIGN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
