#include <cmath>
#include <cstddef>

#include "kve/kve_vec.h"

// Per sample the output, then the phasor turned by (c, s): a' = a c - b s, b' = a s + b c, each one fused
// multiply-add. Rounding lets the length drift a little every sample, so after the block the phasor is scaled back
// to unit length with one square root. A zero phasor has no direction to keep: it stays zero instead of becoming
// NaN; one too small or too large for its squared length in single precision is measured in double.
extern "C" void kve_vecSineGen(float *dst, float *a, float *b, int32_t channels, int32_t n, float c, float s)
{
    float x = *a;
    float y = *b;
    if (channels == 1) {
        for (int32_t i = 0; i < n; ++i) {
            dst[i] = y;
            const float turned = std::fma(x, c, -y * s);
            y = std::fma(x, s, y * c);
            x = turned;
        }
    } else {
        for (ptrdiff_t i = 0; i < n; ++i) {
            dst[2 * i] = x;
            dst[2 * i + 1] = y;
            const float turned = std::fma(x, c, -y * s);
            y = std::fma(x, s, y * c);
            x = turned;
        }
    }
    const float squared = x * x + y * y;
    if (std::isnormal(squared)) {
        const float g = 1.0f / std::sqrt(squared);
        x *= g;
        y *= g;
    } else if (std::isfinite(x) && std::isfinite(y)) {
        const double length = std::hypot(static_cast<double>(x), static_cast<double>(y));
        if (length > 0.0) {
            x = static_cast<float>(x / length);
            y = static_cast<float>(y / length);
        }
    }
    *a = x;
    *b = y;
}
