#include <cmath>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = 10^(x / 20) as expf(x x ln 10 / 20).
extern "C" void kve_vecUnDb20(const float *src, float *dst, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = std::exp(src[i] * 0.115129254758358f);
    }
}
