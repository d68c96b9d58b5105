#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = r x c over n elements: the real r[k] times both parts of the complex c[k]. rInc counts floats; cInc and
// dstInc count floats too, so a contiguous complex vector has increment 2.
extern "C" void kve_vecMultiplyRealByComplex(const float *r, int32_t rInc, const float *c, int32_t cInc, float *dst,
                                             int32_t dstInc, int32_t n)
{
    for (ptrdiff_t k = 0; k < n; ++k) {
        const float g = r[k * rInc];
        const float *x = c + k * cInc;
        float *d = dst + k * dstInc;
        const float re = x[0];
        const float im = x[1];
        d[0] = g * re;
        d[1] = g * im;
    }
}
