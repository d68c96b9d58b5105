#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst[k] = y, with y moved toward target before every sample: y = y x (1 - coeff) + coeff x target, one fused
// multiply-add; y starts at and returns to state.
extern "C" void kve_vecFirstOrderSmoother(float *dst, float *state, float target, float coeff, int32_t n)
{
    if (n < 1) {
        return;
    }
    const float keep = 1.0f - coeff;
    const float pull = coeff * target;
    float y = *state;
    for (ptrdiff_t k = 0; k < n; ++k) {
        y = std::fma(y, keep, pull);
        dst[k] = y;
    }
    *state = y;
}
