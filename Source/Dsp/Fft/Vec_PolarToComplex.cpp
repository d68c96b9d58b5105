#include <cstdint>

#include "kve/kve_vec.h"

// dst = mag x (cos phase + j sin phase) by the fast polynomial cosine and sine (accurate for |phase| <= pi). The
// output is always contiguous pairs: dstInc is accepted and not used.
extern "C" void kve_vecPolarToComplex(const float *mag, int32_t magInc, const float *phase, int32_t phaseInc,
                                      float *dst, int32_t dstInc, int32_t n)
{
    (void)dstInc;
    kve_vecFastCos(phase, phaseInc, dst, 2, n);
    kve_vecMultiply2x1(dst, 2, mag, magInc, dst, 2, n);
    kve_vecFastSin(phase, phaseInc, dst + 1, 2, n);
    kve_vecMultiply2x1(dst + 1, 2, mag, magInc, dst + 1, 2, n);
}
