#include <cmath>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = 20 log10 |x| as ln|x| x 20/ln 10; magnitudes below the smallest normal float (zero included) give the
// floor 20 log10(2^-126) = -758.5955810546875 instead of minus infinity.
extern "C" void kve_vecDb20(const float *src, float *dst, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const float m = std::fabs(src[i]);
        dst[i] = m >= 0x1p-126f ? std::log(m) * 8.68588924407959f : -758.5955810546875f;
    }
}
