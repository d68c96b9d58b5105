#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Dsp/Smoothing/SmoothHold.h"
#include "kve/kve_vec.h"

// dst[k] = y, with y moved toward target before every sample: y = y x (1 - coeff) + coeff x target, one fused
// multiply-add; y starts at and returns to state. Once a step leaves y unchanged (at entry too) the rest is filled
// with it.
extern "C" void kve_vecFirstOrderSmoother(float *dst, float *state, float target, float coeff, int32_t n)
{
    if (n < 1) {
        return;
    }
    const float keep = 1.0f - coeff;
    const float pull = coeff * target;
    float y = *state;
    if (kve_smoothRests(y, keep, pull)) {
        kve_vecFill(dst, 1, y, n);
        return;
    }
    const ptrdiff_t k = kve_glideToRest(y, keep, pull, n, [&](ptrdiff_t i, float value) { dst[i] = value; });
    if (k < n) {
        kve_vecFill(dst + k, 1, y, static_cast<int32_t>(n - k));
    }
    *state = y;
}
