#include "Modules/Advanced/WindowKit.h"

#include <cmath>

#include "Modules/Advanced/AdvancedKit.h"

namespace kve::windows {

int32_t fixedPointWindow(const float *window, Fract32 *coefficients, uint32_t length)
{
    int32_t exponent = -32;
    for (uint32_t i = 0; i < length; ++i) {
        // Zero, infinity and NaN have no exponent of their own: they count as 0, and convert as their sign says.
        int32_t e = 0;
        if (std::isfinite(window[i]) && window[i] != 0.0f)
            std::frexp(window[i], &e);
        exponent = std::max(exponent, e);
    }
    for (uint32_t i = 0; i < length; ++i)
        coefficients[i] = kve_advFloatToFract32(std::ldexp(window[i], -exponent));
    return exponent;
}

} // namespace kve::windows
