#include <cmath>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = powf(10, x x 0.05).
extern "C" void kve_vecDBToLinear(const float *src, float *dst, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = std::pow(10.0f, src[i] * 0.05f);
    }
}
