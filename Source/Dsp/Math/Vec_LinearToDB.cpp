#include <cmath>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = 20 log10f |x|; zero gives minus infinity.
extern "C" void kve_vecLinearToDB(const float *src, float *dst, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = 20.0f * std::log10(std::fabs(src[i]));
    }
}
