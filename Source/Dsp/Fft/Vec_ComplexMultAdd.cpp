#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst[k] += a[k] x b[k] over n contiguous complex elements; both products of each part are fused into the sum.
extern "C" void kve_vecComplexMultAdd(const float *a, const float *b, float *dst, int32_t n)
{
    for (ptrdiff_t k = 0; k < 2 * static_cast<ptrdiff_t>(n); k += 2) {
        const float ar = a[k];
        const float ai = a[k + 1];
        const float br = b[k];
        const float bi = b[k + 1];
        dst[k] = std::fma(-ai, bi, std::fma(ar, br, dst[k]));
        dst[k + 1] = std::fma(ai, br, std::fma(ar, bi, dst[k + 1]));
    }
}
