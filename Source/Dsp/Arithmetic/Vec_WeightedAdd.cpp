#include <cmath>

#include "kve/kve_vec.h"

// dst = a x weightA + weightB x b, all contiguous: weightB x b rounded, then fused with a x weightA.
extern "C" void kve_vecWeightedAdd(const float *a, const float *b, float *dst, float weightA, float weightB,
                                   int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = std::fma(a[i], weightA, weightB * b[i]);
    }
}
