#include <cstddef>
#include <cstdint>

#include "Dsp/Fft/Complex.h"
#include "kve/kve_vec.h"

// dst[k] = a[k] x b[k] over n contiguous complex elements; each part is one fused multiply-add.
extern "C" void kve_vecComplexMult(const float *a, const float *b, float *dst, int32_t n)
{
    for (ptrdiff_t k = 0; k < 2 * static_cast<ptrdiff_t>(n); k += 2) {
        const kve_Complex y = kve_complexMul(a[k], a[k + 1], b[k], b[k + 1]);
        dst[k] = y.re;
        dst[k + 1] = y.im;
    }
}
