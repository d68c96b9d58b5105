#include <cmath>

#include "kve/kve_vec.h"

// dst = a x gainA + gainB x b, all contiguous: gainB x b rounded, then fused with a x gainA (one more rounding).
extern "C" void kve_vecScale2x1(const float *a, const float *b, float *dst, float gainA, float gainB, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = std::fma(a[i], gainA, gainB * b[i]);
    }
}
