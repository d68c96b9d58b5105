#include <cstddef>
#include <cstdint>

#include "Dsp/Fft/Complex.h"
#include "kve/kve_vec.h"

// dst = a x b over n complex elements; increments count floats (2 for contiguous complex vectors, 0 repeats one).
extern "C" void kve_vecMultiplyComplexByComplex(const float *a, int32_t aInc, const float *b, int32_t bInc,
                                                float *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t k = 0; k < n; ++k) {
        const float *x = a + k * aInc;
        const float *y = b + k * bInc;
        const kve_Complex z = kve_complexMul(x[0], x[1], y[0], y[1]);
        float *d = dst + k * dstInc;
        d[0] = z.re;
        d[1] = z.im;
    }
}
